// A thousand attempts in a row through the download control, with the real engine library, the
// settings file and the mapping check, each into a fresh simulated phone: every one completes, and
// the process holds no more descriptors or memory after the last than after the hundredth.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "core/download_control.h"
#include "core/engine_library.h"
#include "core/ini_file.h"
#include "dekvanto/firmware_image.h"
#include "process_figures.h"
#include "sim/phone_simulator.h"
#include "support/recording_view.h"
#include "support/temp_folder.h"

namespace dekvanto::app {
namespace {

using dekvanto::integration::ExpectNothingKept;
using dekvanto::integration::LongRunFigures;
using dekvanto::integration::PrintFigures;
using dekvanto::integration::RunLong;

TEST(LongRunControl, AThousandAttemptsThroughTheControlLeaveNothingBehind) {
    TempFolder folder;
    ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
    const auto engine = EngineLibrary::Load(DEKVANTO_ENGINE_LIBRARY);
    ASSERT_NE(engine, nullptr);

    image::SampleSetSpec sample;
    sample.loader_size = 2048;
    sample.code_size = 8192;
    sample.perso_size = 1024;
    const image::SampleSetPaths paths = image::WriteSampleSet(folder / "files", sample);
    FileRecords files;
    files.code.path = paths.code.string();
    files.loader.path = paths.loader.string();
    files.perso.path = paths.perso.string();
    ASSERT_TRUE(files.SummariseCodeFile());
    ASSERT_TRUE(files.SummariseLoaderFile());
    ASSERT_TRUE(files.SummarisePersoFile());
    DownloadSwitches switches;
    switches.perso = true;  // both files: every attempt runs the mapping check too
    CurrentSettings settings;
    settings.acknowledge = 1;
    // The settings file on disk: every attempt reads "RebootDelay" from it afresh.
    IniFile store(folder.Write("MX40.ini", "[Setting]\r\nRebootDelay=0\r\n"));
    RecordingView view;
    DownloadControl control(*engine, view, settings, files, switches, store);
    const std::string completed =
        "------------------------DOWNLOAD COMPLETED--------------------------";

    const LongRunFigures figures = RunLong(
        [&](int run) {
            dekvanto::sim::PhoneConfig config;
            config.delays = {0, 0, 0, 0, 0};
            dekvanto::sim::PhoneSimulator phone(config);
            ASSERT_TRUE(phone.Start()) << phone.SetupError();
            settings.port_name = "COM" + std::to_string(phone.PortNumber());
            view = RecordingView();
            control.OnStartStop();
            const dekvanto::sim::Summary summary = phone.Finish(std::chrono::seconds(30));
            ASSERT_FALSE(view.log.empty()) << "attempt " << run;
            ASSERT_EQ(view.log.back(), completed) << "attempt " << run;
            ASSERT_TRUE(summary.consistent) << "attempt " << run;
            ASSERT_EQ(control.State(), DownloadState::kIdle);
        },  // the phone and its line are gone: only what the program keeps is counted
        [&] { view = RecordingView(); });
    ExpectNothingKept(figures);
    PrintFigures(figures, "attempt");
}

}  // namespace
}  // namespace dekvanto::app
