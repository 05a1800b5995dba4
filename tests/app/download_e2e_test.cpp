// The download control with the real engine library against the simulated phone on a
// pseudo-terminal, through a recording view: the log lines of whole attempts, as the user
// reads them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "core/download_control.h"
#include "core/engine_library.h"
#include "dekvanto/firmware_image.h"
#include "sim/phone_simulator.h"
#include "support/memory_store.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

namespace dekvanto::app {
namespace {

using Lines = std::vector<std::string>;

class ControlEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        // The phone's COM<n> link goes into a register of this test only.
        ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
        engine = EngineLibrary::Load(DEKVANTO_ENGINE_LIBRARY);
        ASSERT_NE(engine, nullptr);

        image::SampleSetSpec sample;
        sample.loader_size = 1000;
        sample.code_size = 20000;
        sample.perso_size = 1500;
        const image::SampleSetPaths paths = image::WriteSampleSet(folder / "files", sample);
        files.code.path = paths.code.string();
        files.loader.path = paths.loader.string();
        files.perso.path = paths.perso.string();
        files.SummariseCodeFile();
        files.SummariseLoaderFile();
        files.SummarisePersoFile();
        switches.perso = true;
        settings.acknowledge = 1;
        phone.expect.bit_rate = 115200;
        phone.idle_timeout_ms = 600000;  // sessions end by the engine letting go of the line
        control =
            std::make_unique<DownloadControl>(*engine, view, settings, files, switches, store);
    }

    // Starts the phone, points the current port at it and presses "&Start download".
    dekvanto::sim::Summary RunAttempt() {
        dekvanto::sim::PhoneSimulator simulator(phone);
        if (!simulator.Start()) {
            ADD_FAILURE() << simulator.SetupError();
            return {};
        }
        port = "COM" + std::to_string(simulator.PortNumber());
        settings.port_name = port;
        control->OnStartStop();
        // The engine has let go of the line: the phone ends once it has taken in everything
        // sent. The bound only keeps a broken phone from hanging the run.
        return simulator.Finish(std::chrono::seconds(120));
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

    TempFolder folder;
    std::unique_ptr<EngineLibrary> engine;
    MemoryStore store;
    CurrentSettings settings;
    FileRecords files;
    DownloadSwitches switches;
    RecordingView view;
    dekvanto::sim::PhoneConfig phone;
    std::string port;
    std::unique_ptr<DownloadControl> control;
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
}  // namespace dekvanto::app
