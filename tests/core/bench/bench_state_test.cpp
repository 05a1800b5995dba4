// The state every view of a bench draws, fed event streams: a station through every state of a
// unit, the words of outcomes, yield and rate, and streams that break off.
#include "core/bench/bench_state.h"

#include <gtest/gtest.h>

#include <string>

namespace dekvanto::core {
namespace {

using enum EventKind;
using namespace std::chrono_literals;
using Clock = BenchState::Clock;

const Clock::time_point kStart{};
const std::chrono::system_clock::time_point kWall{};

TEST(BenchState, AStationGoesThroughEveryStateOfAUnit) {
    BenchState bench({"COM3", "COM4"}, /*scan=*/true);
    const StationTile &tile = bench.Tiles()[0];
    EXPECT_EQ(TileStateWords(tile, true), "Starting");
    bench.Apply({.kind = kWaiting, .station = "COM3", .unit = 1}, kStart, kWall);
    EXPECT_EQ(TileStateWords(tile, true), "Scan the next unit");
    bench.Apply({.kind = kScan, .station = "COM3", .unit = 0, .unit_id = "SN-1"}, kStart, kWall);
    bench.Apply({.kind = kScan,
                 .station = "COM3",
                 .unit = 0,
                 .unit_id = "SN-1",
                 .scan_state = ScanState::kReady},
                kStart, kWall);
    EXPECT_EQ(TileStateWords(tile, true), "Waiting for a phone: SN-1");
    EXPECT_TRUE(tile.waiting_ids.empty());

    bench.Apply({.kind = kUnitStart, .station = "COM3", .unit = 1, .unit_id = "SN-1"}, kStart + 5s,
                kWall);
    bench.Apply({.kind = kPhase, .station = "COM3", .text = "Download /fw/code.bin"}, kStart,
                kWall);
    bench.Apply({.kind = kProgress, .station = "COM3", .percent = 35}, kStart, kWall);
    EXPECT_EQ(TileSpoken(tile, true, kStart + 17s),
              "COM3: unit 1, Download code.bin, 35 percent, 12 seconds");

    bench.Apply({.kind = kUnitEnd,
                 .station = "COM3",
                 .result = '2',
                 .seconds = 57.125,
                 .unit_id = "SN-1",
                 .verdict = UnitVerdict::kPassed},
                kStart + 62s, kWall);
    bench.Apply({.kind = kWaiting, .station = "COM3", .waiting_for = WaitingFor::kRemoval}, kStart,
                kWall);
    EXPECT_EQ(TileSpoken(tile, true, kStart), "COM3: PASS, 57 seconds, Remove the phone");
    ASSERT_EQ(bench.Rows().size(), 1u);
    EXPECT_EQ(bench.Rows()[0].unit.unit_id, "SN-1");
    EXPECT_EQ(bench.Rows()[0].unit.words, "PASS 57.1 s");
    EXPECT_EQ(bench.Tiles()[1].state, TileState::kStarting);  // the other station untouched

    // A station that could not go on shows why; started again, the reason goes.
    bench.Apply({.kind = kStation,
                 .station = "COM3",
                 .unit = 2,
                 .station_run = StationRun::kStopped,
                 .status = 3},
                kStart, kWall);
    EXPECT_EQ(TileStateWords(tile, true), "Stopped");
    EXPECT_TRUE(tile.error.empty());
    bench.Apply({.kind = kStation,
                 .station = "COM3",
                 .unit = 2,
                 .station_run = StationRun::kEnded,
                 .status = 4,
                 .error = "port COM3 is busy"},
                kStart, kWall);
    EXPECT_EQ(tile.error, "port COM3 is busy");
    bench.Apply({.kind = kStation, .station = "COM3", .unit = 2}, kStart, kWall);
    EXPECT_TRUE(tile.error.empty());
}

TEST(BenchState, YieldCountsAPhoneOnceAndTheRateComesFromCycles) {
    BenchState bench({"COM3", "COM4"}, true);
    EXPECT_FALSE(bench.FirstPassYield());
    EXPECT_FALSE(bench.UnitsPerHour());
    auto unit = [&](const char *port, int n, const char *id, UnitVerdict verdict,
                    Clock::time_point at) {
        bench.Apply({.kind = kUnitStart, .station = port, .unit = n, .unit_id = id}, at, kWall);
        bench.Apply({.kind = kUnitEnd,
                     .station = port,
                     .unit = n,
                     .unit_id = id,
                     .verdict = verdict,
                     .reason = "no acknowledgement in the code file"},
                    at + 20s, kWall);
    };
    unit("COM3", 1, "SN-1", UnitVerdict::kFailed, kStart);
    EXPECT_FALSE(bench.UnitsPerHour());                           // one unit is no cycle yet
    unit("COM3", 2, "SN-1", UnitVerdict::kPassed, kStart + 60s);  // a retest
    unit("COM3", 3, "SN-2", UnitVerdict::kPassed, kStart + 120s);
    unit("COM4", 1, "SN-3", UnitVerdict::kStopped, kStart);  // stopped: does not count
    unit("COM4", 2, "SN-3", UnitVerdict::kPassed, kStart + 30s);
    EXPECT_DOUBLE_EQ(*bench.FirstPassYield(), 2.0 / 3);
    EXPECT_DOUBLE_EQ(*bench.FirstPassYield(0), 1.0 / 2);
    EXPECT_DOUBLE_EQ(*bench.UnitsPerHour(0), 60);
    EXPECT_DOUBLE_EQ(*bench.UnitsPerHour(), 60 + 120);
    EXPECT_EQ(bench.Tiles()[0].last->words, "PASS 0.0 s");
    EXPECT_EQ(bench.Rows()[0].unit.words, "FAIL no acknowledgement in the code file");
}

TEST(BenchState, BrokenLinesAreErrorsAndABenchThatDiesLeavesItsUnitInterrupted) {
    BenchState bench({"COM3", "COM4"}, false);
    bench.OnBrokenLine(R"({"event":"phase","station":"COM4","unit":1,"li)", "cut off");
    EXPECT_EQ(bench.Tiles()[1].error, "cut off");
    bench.OnBrokenLine("rubbish", "unreadable");
    EXPECT_EQ(bench.Notices().back(), "unreadable");
    bench.Apply({.kind = kUnitStart, .station = "COM3", .unit = 2}, kStart, kWall);
    bench.OnBenchEnded(std::nullopt, kStart + 3s, kWall);
    const StationTile &tile = bench.Tiles()[0];
    ASSERT_TRUE(tile.last);
    EXPECT_EQ(tile.last->words, "INTERRUPTED: the bench ended during the unit");
    EXPECT_EQ(tile.state, TileState::kEnded);
    EXPECT_EQ(bench.Totals().interrupted, 1);
    EXPECT_EQ(bench.Notices().back(), "The bench program ended unexpectedly");
}

}  // namespace
}  // namespace dekvanto::core
