// A bench left to run unattended: hundreds of phones on two stations, one after another. Every
// unit passes and is recorded, no phone is flashed twice, and neither the bench nor its stations
// hold more descriptors or memory late in the run than early in it.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "exit_status.h"
#include "process_figures.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

using dekvanto::integration::kMemoryFiguresTell;
using dekvanto::integration::ProcessFigures;

// A unit that leaks one descriptor would add hundreds over the run; a station caught in an
// attempt holds its port and the engine's few descriptors more than one caught between two.
constexpr int kDescriptorsOfAnAttempt = 4;

TEST(BenchLongRun, HundredsOfUnitsOnTwoStationsLeaveNothingBehind) {
    BenchRig bench_rig;
    bench_rig.rig.phone.delays = {0, 0, 0, 0, 0};
    bench_rig.AddLine(BenchRig::Endless());
    bench_rig.AddLine(BenchRig::Endless());
    const int count = kMemoryFiguresTell ? 300 : 100;
    const int early = 40;
    const int late = count - 10;
    VantoProcess bench(bench_rig.Args({"--count", std::to_string(count)}));

    std::vector<std::string> processes;
    std::vector<ProcessFigures> at_early;
    std::vector<ProcessFigures> at_late;
    for (int unit = 1; unit <= late; ++unit) {
        ASSERT_TRUE(bench.ReadUntil(" PASS ")) << "unit " << unit << ": " << bench.Seen();
        if (unit == early) {
            processes = ChildrenOf(bench.Pid());
            processes.push_back(std::to_string(bench.Pid()));
            for (const std::string &process : processes) {
                at_early.push_back(ProcessFigures::Of(process));
            }
        }
    }
    for (const std::string &process : processes) {
        at_late.push_back(ProcessFigures::Of(process));
    }
    EXPECT_EQ(bench.Wait(), kFinished) << bench.Seen();
    const std::vector<std::vector<sim::UnitReport>> phones = bench_rig.StopLines();

    ASSERT_EQ(processes.size(), 3u) << "two stations and the bench";
    for (std::size_t i = 0; i < processes.size(); ++i) {
        SCOPED_TRACE("process " + processes[i]);
        EXPECT_LE(at_late[i].descriptors - at_early[i].descriptors, kDescriptorsOfAnAttempt);
        if (kMemoryFiguresTell) {
            EXPECT_LE(at_late[i].resident_kib - at_early[i].resident_kib, 1024);
        }
        std::cout << "process " << processes[i] << " after unit " << early << ": "
                  << at_early[i].descriptors << " descriptors, " << at_early[i].resident_kib
                  << " KiB; after unit " << late << ": " << at_late[i].descriptors << ", "
                  << at_late[i].resident_kib << " KiB\n";
    }

    const RecordedUnits units = bench_rig.Units();
    EXPECT_EQ(units.size(), static_cast<std::size_t>(count));
    for (const auto &[key, lines] : units) {
        ASSERT_FALSE(lines.end.is_null()) << key.first << " #" << key.second;
        EXPECT_EQ(lines.end["status"], "finished") << key.first << " #" << key.second;
    }
    std::size_t flashed = 0;
    for (const auto &line : phones) {
        for (const sim::UnitReport &phone : line) {
            EXPECT_LE(phone.flashings, 1u) << "phone " << phone.unit;
            flashed += phone.flashings;
        }
    }
    EXPECT_EQ(flashed, static_cast<std::size_t>(count));
}

}  // namespace
}  // namespace dekvanto::cli
