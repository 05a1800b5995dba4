// The download control with the real engine library against the simulated phone on a
// pseudo-terminal, through a recording view: the log lines of whole attempts, as the user
// reads them.
#include <gtest/gtest.h>

#include "control_rig.h"

namespace dekvanto::core {
namespace {

using Lines = std::vector<std::string>;

// Loader, code file and personalization file of 1000, 20000 and 1500 bytes.
class ControlEndToEnd : public ::testing::Test {
  protected:
    // Starts the phone, points the current port at it and presses "&Start download".
    dekvanto::sim::Summary RunAttempt() {
        const dekvanto::testing::PhoneRun run = rig.PressStart();
        EXPECT_EQ(run.setup_error, "");
        return run.summary;
    }

    // The log with the two time lines cut down to their fixed beginnings.
    Lines LogWithoutTimes() const {
        Lines lines;
        for (const std::string &line : view.log) {
            if (line.starts_with("Starting Time : ")) {
                lines.emplace_back("Starting Time : ");
            } else if (line.starts_with("Finish Time : ")) {
                lines.emplace_back("Finish Time : ");
            } else {
                lines.push_back(line);
            }
        }
        return lines;
    }

    ControlRig rig{{1000, 20000, 1500}};
    const FileRecords &files = rig.file_records;
    RecordingView &view = rig.view;
    dekvanto::sim::PhoneConfig &phone = rig.phone;
    const std::string &port = rig.port;
    DownloadControl *control = rig.control.get();
};

TEST_F(ControlEndToEnd, SuccessfulDownloadLogsEveryStepAndTheCompletedLine) {
    const dekvanto::sim::Summary summary = RunAttempt();

    EXPECT_TRUE(summary.consistent) << ::testing::PrintToString(summary.errors);
    EXPECT_EQ(summary.code.size(), 20000u);
    EXPECT_EQ(summary.perso.size(), 1500u);
    EXPECT_EQ(LogWithoutTimes(),
              (Lines{"Mapping compatibility is OK, domwnload start.", "Starting Time : ",
                     "Open " + port, "Set Speed (115200)", "Download " + files.loader.path,
                     " -> Starting Flash writing", "Download " + files.code.path,
                     " -> Start End of Flash erasing", " -> End of flash Erased",
                     "Download " + files.perso.path, "Close " + port, "Finish Time : ",
                     "------------------------DOWNLOAD COMPLETED--------------------------"}));
    EXPECT_EQ(view.byte_counter, "Download : 22500 bytes");
    EXPECT_EQ(view.progress, 0);  // a success sets the bar back
    EXPECT_EQ(view.EventsOf("progress step").size(), 100u);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.button, "&Start download");
    EXPECT_TRUE(view.controls_enabled);
    EXPECT_TRUE(view.file_watch_running);
    EXPECT_EQ(control->State(), DownloadState::kIdle);
}

TEST_F(ControlEndToEnd, RefusedCodeBlockEndsWithTheBadAcknowledgeLines) {
    std::string error;
    const auto fault = dekvanto::sim::ParseFault("nak@code-block:2", error);
    ASSERT_TRUE(fault) << error;
    phone.faults = {*fault};
    RunAttempt();

    EXPECT_EQ(LogWithoutTimes(),
              (Lines{"Mapping compatibility is OK, domwnload start.", "Starting Time : ",
                     "Open " + port, "Set Speed (115200)", "Download " + files.loader.path,
                     " -> Starting Flash writing", "Download " + files.code.path, "Close " + port,
                     "------------------------DOWNLOAD ERROR-----------------------------------",
                     "-------------- Bad acknowledge,  Connection lost -------------------"}));
    EXPECT_NE(view.progress, 0);  // a failure leaves the bar where it was
    EXPECT_EQ(view.button, "&Start download");
    EXPECT_TRUE(view.controls_enabled);
}

TEST_F(ControlEndToEnd, StopPressedInTheWindowDuringTheDownloadCancelsIt) {
    view.on_dispatch = [this] {
        if (view.progress > 20 && control->DownloadActive()) {
            control->OnStartStop();
        }
        return false;
    };
    RunAttempt();

    EXPECT_EQ(view.log.back(),
              "------------------------DOWNLOAD CANCELED-----------------------------");
    EXPECT_EQ(view.log[view.log.size() - 2], "Close " + port);
    EXPECT_EQ(view.button, "&Start download");
    EXPECT_EQ(control->State(), DownloadState::kIdle);
}

}  // namespace
}  // namespace dekvanto::core
