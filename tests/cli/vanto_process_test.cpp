// The vanto program as a script runs it: its output read from a pipe, Ctrl-C sent as a signal
// when its output shows that the download runs, and several stations at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "download_rig.h"
#include "exit_status.h"
#include "sample_download.h"
#include "sim/phone_simulator.h"

extern char **environ;

namespace dekvanto::cli {
namespace {

// vanto started with its standard output and error on one pipe, standard input on another.
class VantoProcess {
  public:
    explicit VantoProcess(const std::vector<std::string> &args) {
        int out[2];
        int in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> text{VANTO_PROGRAM};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &t : text)
            argv.push_back(t.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        output_ = ::fdopen(out[0], "r");
        input_ = in[1];
    }
    ~VantoProcess() {
        if (output_ != nullptr)
            std::fclose(output_);
        if (input_ >= 0)
            ::close(input_);
    }

    // Reads output lines until one contains text (true), or the output ends (false).
    bool ReadUntil(const std::string &text) {
        char line[4096];
        while (output_ != nullptr && std::fgets(line, sizeof line, output_) != nullptr) {
            seen_ += line;
            if (std::string(line).find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    void Signal(int signal) { ::kill(pid_, signal); }
    // Reads the rest of the output and returns the exit status (-1 when killed by a signal).
    int Wait() {
        ReadUntil("\x01never\x01");
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string &Seen() const { return seen_; }

  private:
    pid_t pid_ = -1;
    std::FILE *output_ = nullptr;
    int input_ = -1;
    std::string seen_;
};

class VantoAsProcess : public ::testing::Test {
  protected:
    std::vector<std::string> DownloadArgs(const std::string &ports) const {
        return SampleDownloadArgs(paths, ports);
    }

    dekvanto::testing::DownloadRig rig{{1000, 30000, 1500}};
    const dekvanto::image::SampleSetPaths &paths = rig.files;
    dekvanto::sim::PhoneConfig &phone = rig.phone;
};

TEST_F(VantoAsProcess, DownloadPrintsTheLogAndProgressLinesIntoAPipe) {
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    VantoProcess vanto(DownloadArgs("COM" + std::to_string(simulator.PortNumber())));
    EXPECT_EQ(vanto.Wait(), kFinished) << vanto.Seen();
    EXPECT_TRUE(simulator.Finish(std::chrono::seconds(120)).consistent);
    EXPECT_NE(vanto.Seen().find("progress  50%"), std::string::npos) << vanto.Seen();
    EXPECT_EQ(vanto.Seen().find('\r'), std::string::npos) << "no bar redrawn into a pipe";
    EXPECT_NE(vanto.Seen().find("DOWNLOAD COMPLETED"), std::string::npos);
}

TEST_F(VantoAsProcess, SigintMidDownloadStopsWithTheCancelLineAndReleasesThePort) {
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    auto args = DownloadArgs("COM" + std::to_string(simulator.PortNumber()));
    args.push_back("--step");
    VantoProcess vanto(args);
    // The loader is in the phone and the engine asks before the code file: the download runs.
    ASSERT_TRUE(vanto.ReadUntil("press Enter")) << vanto.Seen();
    vanto.Signal(SIGINT);
    vanto.Signal(SIGINT);  // a second Ctrl-C changes nothing
    EXPECT_EQ(vanto.Wait(), kStopped) << vanto.Seen();
    EXPECT_NE(vanto.Seen().find("------------------------DOWNLOAD CANCELED-------"),
              std::string::npos)
        << vanto.Seen();
    const dekvanto::sim::Summary summary = simulator.Finish(std::chrono::seconds(120));
    EXPECT_EQ(summary.end, dekvanto::sim::EndReason::kReleased) << "the tool let go of the line";
    EXPECT_TRUE(summary.Reached("loader"));
    EXPECT_TRUE(summary.code.empty());
}

TEST_F(VantoAsProcess, TwoStationsInParallelOneFailing) {
    dekvanto::sim::PhoneSimulator good(phone);
    dekvanto::sim::PhoneSimulator failing(WithFault(phone, "silent@code-size"));
    ASSERT_TRUE(good.Start()) << good.SetupError();
    ASSERT_TRUE(failing.Start()) << failing.SetupError();
    const std::string good_port = "COM" + std::to_string(good.PortNumber());
    const std::string failing_port = "COM" + std::to_string(failing.PortNumber());
    auto args = DownloadArgs(good_port + "," + failing_port);
    args.push_back("--json");
    VantoProcess vanto(args);
    EXPECT_EQ(vanto.Wait(), kNoAcknowledgement) << vanto.Seen();
    EXPECT_TRUE(good.Finish(std::chrono::seconds(120)).consistent);
    failing.Stop();
    failing.Finish();
    const std::string &seen = vanto.Seen();
    EXPECT_NE(seen.find(good_port + ": ------------------------DOWNLOAD COMPLETED"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find(failing_port + ": -------------- Not acknowledge"), std::string::npos);
    EXPECT_NE(seen.find("Station  Port"), std::string::npos);
    EXPECT_NE(seen.find("{\"stations\":["), std::string::npos);
    EXPECT_NE(seen.find("\"status\":6}"), std::string::npos) << seen;
}

TEST_F(VantoAsProcess, VersionAndHelpNameTheExitStatuses) {
    VantoProcess version({"--version"});
    EXPECT_EQ(version.Wait(), 0);
    EXPECT_NE(version.Seen().find("vanto "), std::string::npos);
    VantoProcess help({"download", "--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Seen().find("3  stopped (Ctrl-C)"), std::string::npos) << help.Seen();
}

}  // namespace
}  // namespace dekvanto::cli
