// The bench window's child: reached whole by a stop, and gone with the window. A stand-in for the
// window (a process of its own) starts the child as the window does and is then killed.
#include "dekvanto/platform/bench_child.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace dekvanto::platform {
namespace {

using dekvanto::core::TempFolder;

// A child that writes which signal ended it (as `vanto bench` stops at SIGINT and SIGTERM), and
// says "up" on `ready` once it listens for them.
[[noreturn]] void RunChild(const std::string &file, int ready) {
    PrepareBenchChild();
    ::dup2(ready, 3);
    const std::string script = "trap 'echo INT > " + file + "; exit 3' INT; trap 'echo TERM > " +
                               file + "; exit 3' TERM; echo up >&3; exec 3>&-; " +
                               "while :; do sleep 0.05; done";
    ::execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
    ::_exit(127);
}

// Waits for the child's word that it is up.
void AwaitUp(int ready) {
    char word[3] = {};
    ASSERT_EQ(::read(ready, word, sizeof word), 3);
}

std::string Read(const std::string &file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

TEST(BenchChild, AStopReachesItsWholeGroupAndItDiesWithItsFrontEnd) {
    TempFolder folder;
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // orphans come here to be waited for
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    {  // the window's Stop: SIGINT to the child's process group
        const std::string file = (folder / "stopped").string();
        const pid_t child = ::fork();
        if (child == 0) {
            RunChild(file, ready[1]);
        }
        AdoptBenchChild(child);
        AwaitUp(ready[0]);
        InterruptBenchChild(child);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(Read(file), "INT");
    }
    {  // the window killed: its child gets SIGTERM
        const std::string file = (folder / "orphaned").string();
        const pid_t window = ::fork();
        if (window == 0) {
            if (::fork() == 0) {
                RunChild(file, ready[1]);
            }
            char word[3];
            if (::read(ready[0], word, sizeof word) == 3) {  // the child is up
                ::raise(SIGKILL);
            }
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(window, &status, 0), window);
        EXPECT_TRUE(WIFSIGNALED(status));
        // The orphan comes to this process, which waits for it to end.
        const pid_t child = ::waitpid(-1, &status, 0);
        EXPECT_GT(child, 0);
        EXPECT_EQ(Read(file), "TERM");
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

}  // namespace
}  // namespace dekvanto::platform
