// The vanto program as a script runs it: its output read from a pipe, Ctrl-C sent as a signal
// when its output shows that the download runs, and several stations at once.
#include "vanto_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "download_rig.h"
#include "exit_status.h"
#include "sample_download.h"
#include "sim/phone_simulator.h"

namespace dekvanto::cli {
namespace {

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
