// A thousand downloads in a row in one process, through the engine library's C interface: every
// one goes through, and the process holds no more descriptors or memory after the last than
// after the hundredth.
#include <gtest/gtest.h>

#include <chrono>

#include "download_session.h"
#include "process_figures.h"

namespace integration {
namespace {

TEST(LongRun, AThousandDownloadsThroughTheEngineLeaveNothingBehind) {
    UsePrivatePortRegister();
    const SessionFiles files = MakeFiles(2048, 8192, 1024);
    const std::string loader = files.loader.string();
    const std::string code = files.code.string();
    const std::string perso = files.perso.string();
    const int runs = LongRunCount();

    ProcessFigures after_100;
    const auto started = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        sim::PhoneConfig phone;
        phone.delays = {0, 0, 0, 0, 0};  // the phone answers at once: only the engine's pauses
        DownloadRecords records;
        records.files = {loader.c_str(), code.c_str(), perso.c_str()};
        TestWindow window;
        const SessionResult session = RunSession(phone, records, &window);
        ASSERT_EQ(session.result, '2') << "download " << run;
        ASSERT_TRUE(session.summary.consistent)
            << "download " << run << ": " << ::testing::PrintToString(session.summary.errors);
        if (run == 100) {
            after_100 = ProcessFigures::Now();
        }
    }
    const ProcessFigures after_all = ProcessFigures::Now();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(after_all.descriptors, after_100.descriptors);
    if (kMemoryFiguresTell) {
        // A download's files alone are 11 KiB: keeping them, or anything of that size, on every
        // download would pass these bounds many times over.
        EXPECT_LE(after_all.resident_kib - after_100.resident_kib, 1024);
        EXPECT_LE(static_cast<long>(after_all.heap_bytes) - static_cast<long>(after_100.heap_bytes),
                  16 * 1024);
    }
    std::cout << runs << " downloads in " << seconds
              << " s; after download 100: " << after_100.descriptors << " descriptors, "
              << after_100.resident_kib << " KiB resident, " << after_100.heap_bytes
              << " bytes of heap; after download " << runs << ": " << after_all.descriptors << ", "
              << after_all.resident_kib << " KiB, " << after_all.heap_bytes << " bytes\n";
    std::filesystem::remove_all(files.dir);
}

}  // namespace
}  // namespace integration
