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

using integration::kMemoryFiguresTell;
using integration::LongRunCount;
using integration::ProcessFigures;

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

    const int runs = LongRunCount();
    ProcessFigures after_100;
    const auto started = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        {
            sim::PhoneConfig config;
            config.delays = {0, 0, 0, 0, 0};
            sim::PhoneSimulator phone(config);
            ASSERT_TRUE(phone.Start()) << phone.SetupError();
            settings.port_name = "COM" + std::to_string(phone.PortNumber());
            view = RecordingView();
            control.OnStartStop();
            const sim::Summary summary = phone.Finish(std::chrono::seconds(30));
            ASSERT_FALSE(view.log.empty()) << "attempt " << run;
            ASSERT_EQ(view.log.back(), completed) << "attempt " << run;
            ASSERT_TRUE(summary.consistent) << "attempt " << run;
            ASSERT_EQ(control.State(), DownloadState::kIdle);
        }  // the phone and its line are gone: only what the program keeps is counted
        if (run == 100) {
            view = RecordingView();
            after_100 = ProcessFigures::Now();
        }
    }
    view = RecordingView();
    const ProcessFigures after_all = ProcessFigures::Now();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(after_all.descriptors, after_100.descriptors);
    if (kMemoryFiguresTell) {
        // A download's files alone are 11 KiB: keeping them, or anything of that size, on every
        // attempt would pass these bounds many times over.
        EXPECT_LE(after_all.resident_kib - after_100.resident_kib, 1024);
        EXPECT_LE(static_cast<long>(after_all.heap_bytes) - static_cast<long>(after_100.heap_bytes),
                  16 * 1024);
    }
    std::cout << runs << " attempts in " << seconds
              << " s; after attempt 100: " << after_100.descriptors << " descriptors, "
              << after_100.resident_kib << " KiB resident, " << after_100.heap_bytes
              << " bytes of heap; after attempt " << runs << ": " << after_all.descriptors << ", "
              << after_all.resident_kib << " KiB, " << after_all.heap_bytes << " bytes\n";
}

}  // namespace
}  // namespace dekvanto::app
