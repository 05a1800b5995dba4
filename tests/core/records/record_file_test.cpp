// The record file: lines of several processes never mixed, a line cut off by a crash never
// swallowing the next, and every path or write that cannot hold the record refused.
#include "core/records/record_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

std::string LineOf(int writer, int number) {
    // Long lines: a writer that sent a line in several pieces would be caught between them.
    return std::to_string(writer) + ":" + std::to_string(number) + ":" +
           std::string(8000, static_cast<char>('a' + writer));
}

TEST(RecordFile, TwoProcessesAppendingAtOnceNeverInterleave) {
    constexpr int kWriters = 2;
    constexpr int kLines = 150;
    TempFolder folder;
    const std::string path = (folder / "records.jsonl").string();
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(gate[1]);
            char go = 0;
            (void)::read(gate[0], &go, 1);  // both start when the gate closes
            std::string error;
            auto file = RecordFile::Open(path, error);
            for (int number = 0; file && number < kLines; ++number) {
                if (!file->Append(LineOf(writer, number), error)) {
                    ::_exit(1);
                }
            }
            ::_exit(file ? 0 : 1);
        }
        children.push_back(child);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::istringstream lines(folder.Read("records.jsonl"));
    std::string line;
    int next[kWriters] = {};
    while (std::getline(lines, line)) {
        const int writer = line.empty() ? -1 : line[0] - '0';
        ASSERT_TRUE(writer >= 0 && writer < kWriters) << line.substr(0, 40);
        ASSERT_EQ(line, LineOf(writer, next[writer])) << "line mixed up: " << line.substr(0, 40);
        ++next[writer];
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

TEST(RecordFile, ALineCutOffByACrashIsEndedBeforeTheNextOne) {
    TempFolder folder;
    const auto path = folder.Write("records.jsonl", "{\"schema\":1,\"ev").string();
    std::string error;
    auto file = RecordFile::Open(path, error);
    ASSERT_TRUE(file) << error;
    ASSERT_TRUE(file->Append("{\"next\":1}", error)) << error;
    ASSERT_TRUE(file->Append("{\"next\":2}", error)) << error;
    EXPECT_EQ(folder.Read("records.jsonl"), "{\"schema\":1,\"ev\n{\"next\":1}\n{\"next\":2}\n");
}

TEST(RecordFile, PathsThatCannotHoldTheRecordAreRefused) {
    TempFolder folder;
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path :
         {(folder / "no-folder/records.jsonl").string(), folder.Path().string(), fifo}) {
        std::string error;
        EXPECT_FALSE(RecordFile::Open(path, error)) << path;
        EXPECT_EQ(error.rfind("cannot open the record file " + path + ": ", 0), 0u) << error;
    }

    // A file the technician may only read, and a write that the system refuses half-way (the
    // file size limit stands in for a full disk): both reported, neither silent.
    ::chmod(folder.Path().c_str(), 0777);
    const auto read_only = folder.Write("read-only.jsonl", "");
    ::chmod(read_only.c_str(), 0444);
    const std::string limited = (folder / "limited.jsonl").string();
    EXPECT_TRUE(dekvanto::testing::RunUnprivileged([&] {
        std::string error;
        EXPECT_FALSE(RecordFile::Open(read_only.string(), error));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;

        auto file = RecordFile::Open(limited, error);
        ASSERT_TRUE(file) << error;
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        EXPECT_TRUE(file->Append(std::string(50, 'x'), error)) << error;
        EXPECT_FALSE(file->Append(std::string(200, 'y'), error));
        EXPECT_EQ(error.rfind("cannot write the record file " + limited + ": ", 0), 0u) << error;
    }));
}

}  // namespace
}  // namespace dekvanto::core
