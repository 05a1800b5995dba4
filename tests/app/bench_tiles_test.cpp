// The bench window's tiles, driven by scripted streams of `vanto bench --events`: each state of a
// station, the words of a unit's outcome, and streams that break off or carry rubbish.
#include "core/bench_tiles.h"

#include <gtest/gtest.h>

#include <string>

namespace dekvanto::app {
namespace {

using enum EventKind;
using namespace std::chrono_literals;
using Clock = BenchTiles::Clock;

const Clock::time_point kStart{};
const std::chrono::system_clock::time_point kWall{};

std::string Line(const DownloadEvent &event) {
    return EventLine(event) + "\n";
}

// The events of one unit that ends as `end` says, after the log lines given.
std::string Unit(const std::string &port, int unit, const std::vector<std::string> &log,
                 DownloadEvent end) {
    std::string text = Line({.kind = kUnitStart, .station = port, .unit = unit});
    for (const std::string &line : log) {
        text += Line({.kind = kPhase, .station = port, .unit = unit, .text = line});
    }
    end.kind = kUnitEnd;
    end.station = port;
    end.unit = unit;
    return text + Line(end);
}

// A scanner may type the station first, in any letter case; else the chosen station takes the
// whole line. With one station the bench reads the bare identifier.
TEST(BenchTiles, AScannedLineGoesToTheStationItNamesOrTheChosenOne) {
    const BenchTiles two({"COM3", "COM4"}, {}, kStart);
    auto named = two.RouteScan("  com4   SN-1 ", 0);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->station, 1u);
    EXPECT_EQ(named->identifier, "SN-1");
    EXPECT_EQ(named->bench_line, "COM4 SN-1");
    auto chosen = two.RouteScan("COM9 SN-2", 1);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->station, 1u);
    EXPECT_EQ(chosen->bench_line, "COM4 COM9 SN-2");
    EXPECT_FALSE(two.RouteScan("   ", 0));

    const BenchTiles one({"COM3"}, {}, kStart);
    auto bare = one.RouteScan("SN-3", 0);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->bench_line, "SN-3");
}

TEST(BenchTiles, AStationGoesThroughEveryStateOfAUnit) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    const StationTile &tile = tiles.Tiles()[0];
    EXPECT_EQ(TileStateWords(tile), "Starting");

    tiles.OnEvents(Line({.kind = kWaiting, .station = "COM3", .unit = 1}), kStart, kWall);
    EXPECT_EQ(TileStateWords(tile), "Waiting for a phone");
    EXPECT_EQ(TileSpoken(tile, kStart), "COM3: Waiting for a phone");

    tiles.OnEvents(Line({.kind = kUnitStart, .station = "COM3"}) +
                       Line({.kind = kPhase, .station = "COM3", .text = "Download /fw/code.bin"}) +
                       Line({.kind = kProgress, .station = "COM3", .percent = 35, .bytes = 700}),
                   kStart + 5s, kWall);
    EXPECT_EQ(TileStateWords(tile), "Download code.bin");
    EXPECT_EQ(tile.percent, 35);
    EXPECT_DOUBLE_EQ(TileSeconds(tile, kStart + 17s), 12);
    EXPECT_EQ(TileSpoken(tile, kStart + 17s),
              "COM3: unit 1, Download code.bin, 35 percent, 12 seconds");

    tiles.OnEvents(
        Line({.kind = kUnitEnd, .station = "COM3", .result = '2', .seconds = 57.125}) +
            Line({.kind = kWaiting, .station = "COM3", .waiting_for = WaitingFor::kRemoval}),
        kStart + 62s, kWall);
    ASSERT_TRUE(tile.last);
    EXPECT_EQ(tile.last->words, "PASS 57.1 s");
    EXPECT_EQ(TileStateWords(tile), "Remove the phone");
    EXPECT_EQ(TileSpoken(tile, kStart + 99s), "COM3: PASS, 57 seconds, Remove the phone");
    EXPECT_EQ(tile.counts.passed, 1);
    EXPECT_EQ(tiles.Tiles()[1].state, TileState::kStarting);  // the other station untouched
    ASSERT_EQ(tiles.Rows().size(), 1u);
    EXPECT_EQ(tiles.Rows()[0].station, "COM3");
}

TEST(BenchTiles, AUnitsOutcomeIsWordedAsOnTheBenchsLines) {
    BenchTiles tiles({"COM3"}, {.acknowledged = true, .code_sent = true, .perso_sent = true},
                     kStart);
    const StationTile &tile = tiles.Tiles()[0];
    auto outcome = [&](int unit, const std::vector<std::string> &log, DownloadEvent end) {
        tiles.OnEvents(Unit("COM3", unit, log, end), kStart, kWall);
        return tile.last->words;
    };
    // The stage is the file the log named last, whatever the path looks like.
    EXPECT_EQ(outcome(1, {"Open COM3", "Download /x/ld.bin", "Download ../fw/code.bin"},
                      {.result = 'H', .status = 6}),
              "FAIL no acknowledgement in the code file");
    EXPECT_EQ(outcome(2, {"Open COM3"}, {.result = 'H', .status = 6}),
              "FAIL no acknowledgement at the line setup");
    EXPECT_EQ(outcome(3, {"Download a", "Download b", "Download c"}, {.result = 'G', .status = 6}),
              "FAIL bad acknowledgement in the personalization file");
    EXPECT_EQ(outcome(4, {}, {.status = 5, .error = "cannot read loader file nope.bin"}),
              "FAIL cannot read loader file nope.bin");
    EXPECT_EQ(outcome(5, {"Download a"}, {.result = '3', .status = 3, .seconds = 3}),
              "STOPPED 3.0 s");
    EXPECT_EQ(tile.counts.units, 5);
    EXPECT_EQ(tile.counts.failed, 4);
    EXPECT_EQ(tile.counts.stopped, 1);
}

TEST(BenchTiles, WithoutACodeFileTheSecondFileIsThePersonalization) {
    BenchTiles tiles({"COM3"}, {.code_sent = false, .perso_sent = true}, kStart);
    tiles.OnEvents(Unit("COM3", 1, {"Download l", "Download p"}, {.result = 'H', .status = 6}),
                   kStart, kWall);
    EXPECT_EQ(tiles.Tiles()[0].last->words, "FAIL no acknowledgement in the personalization file");
}

TEST(BenchTiles, BrokenLinesAreTheNamedStationsErrorAndTheStreamGoesOn) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    const std::string waiting = Line({.kind = kWaiting, .station = "COM4"});
    // A line arriving in two chunks is one event, not a cut one.
    tiles.OnEvents(waiting.substr(0, 10), kStart, kWall);
    tiles.OnEvents(waiting.substr(10), kStart, kWall);
    EXPECT_EQ(tiles.Tiles()[1].state, TileState::kWaitingForPhone);
    EXPECT_EQ(tiles.Tiles()[1].error, "");

    tiles.OnEvents(
        "{\"event\":\"phase\",\"station\":\"COM4\",\"unit\":1,\"li\n"
        "{\"event\":\"progress\",\"station\":\"COM3\",\"unit\":\"x\"}\n"
        "{\"event\":\"later-kind\",\"station\":\"COM3\",\"unit\":1}\n"
        "garbage without a station\n",
        kStart, kWall);
    EXPECT_TRUE(tiles.Tiles()[1].error.starts_with("An event line was cut off"))
        << tiles.Tiles()[1].error;
    EXPECT_TRUE(tiles.Tiles()[0].error.starts_with("An unreadable event line"))
        << tiles.Tiles()[0].error;
    ASSERT_EQ(tiles.BenchLines().size(), 1u);  // the line that names no station is the bench's

    tiles.OnEvents(Unit("COM4", 1, {}, {.result = '2'}), kStart, kWall);
    EXPECT_EQ(tiles.Tiles()[1].counts.passed, 1);
}

TEST(BenchTiles, AStationStoppedByTheOperatorShowsStoppedUntilItRunsOrEnds) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    const StationTile &tile = tiles.Tiles()[0];
    const auto station = [](StationRun run, int unit) {
        return Line({.kind = kStation, .station = "COM3", .unit = unit, .station_run = run});
    };
    tiles.OnEvents(Unit("COM3", 3, {"Download a"}, {.result = '3', .status = 3, .seconds = 4}) +
                       station(StationRun::kStopped, 4),
                   kStart, kWall);
    EXPECT_EQ(tile.state, TileState::kStopped);
    EXPECT_EQ(tile.unit, 4);
    EXPECT_EQ(TileSpoken(tile, kStart), "COM3: STOPPED, 4 seconds, Stopped");
    EXPECT_EQ(tile.counts.stopped, 1);

    tiles.OnEvents(station(StationRun::kRunning, 4), kStart, kWall);
    EXPECT_EQ(TileStateWords(tile), "Starting");
    tiles.OnEvents(station(StationRun::kEnded, 4), kStart, kWall);
    EXPECT_EQ(TileStateWords(tile), "Ended");
    // A state this reader does not know is the station's error, not a guess.
    tiles.OnEvents(R"({"event":"station","station":"COM4","unit":1,"state":"paused"})"
                   "\n",
                   kStart, kWall);
    EXPECT_EQ(tiles.Tiles()[1].state, TileState::kStarting);
    EXPECT_TRUE(tiles.Tiles()[1].error.starts_with("An unreadable event line"));
}

TEST(BenchTiles, ABenchThatDiesFailsTheUnitsItCutOff) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    tiles.OnEvents(Line({.kind = kUnitStart, .station = "COM3", .unit = 4}) +
                       Line({.kind = kWaiting, .station = "COM4"}) + "{\"event\":\"pro",
                   kStart + 1s, kWall);
    tiles.OnBenchEnded(std::nullopt, kStart + 11s, kWall);

    const StationTile &cut = tiles.Tiles()[0];
    ASSERT_TRUE(cut.last);
    EXPECT_EQ(cut.last->unit, 4);
    EXPECT_EQ(cut.last->words, "FAIL the bench ended during the unit");
    EXPECT_DOUBLE_EQ(cut.last->seconds, 10);
    EXPECT_EQ(cut.state, TileState::kEnded);
    EXPECT_FALSE(tiles.Tiles()[1].last);
    EXPECT_EQ(tiles.Totals().failed, 1);
    // The last line, cut off without its line end, is shown too.
    EXPECT_EQ(tiles.BenchLines().front().substr(0, 26), "An event line was cut off:");
    EXPECT_EQ(tiles.BenchLines().back(), "The bench program ended unexpectedly");
}

TEST(BenchTiles, AStationCutOffInsideTheBenchFailsAloneWithItsReason) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    tiles.OnEvents(Line({.kind = kUnitStart, .station = "COM3"}) +
                       Line({.kind = kUnitStart, .station = "COM4"}) +
                       Line({.kind = kUnitEnd,
                             .station = "COM3",
                             .status = 1,
                             .error = "the station's process ended before its unit did"}),
                   kStart, kWall);
    EXPECT_EQ(tiles.Tiles()[0].last->words, "FAIL the station's process ended before its unit did");
    EXPECT_EQ(tiles.Tiles()[1].state, TileState::kFlashing);
}

TEST(BenchTiles, ScannedIdentifiersLogLinesAndTheListOfUnits) {
    BenchTiles tiles({"COM3", "COM4"}, {}, kStart);
    tiles.OnScanned(1, "SN-1");
    tiles.OnScanned(1, "SN-2");
    for (int unit = 1; unit <= 2; ++unit) {
        tiles.OnEvents(Unit("COM4", unit, {}, {.result = '2', .seconds = 1}), kStart,
                       std::chrono::system_clock::time_point{});
    }
    EXPECT_EQ(tiles.Tiles()[1].last->unit_id, "SN-2");
    const std::string text = tiles.RowsText();
    EXPECT_NE(text.find("\tCOM4\t1\tSN-1\tPASS 1.0 s\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tCOM4\t2\tSN-2\tPASS 1.0 s\n"), std::string::npos) << text;
    EXPECT_DOUBLE_EQ(tiles.UnitsPerHour(std::nullopt, kStart + 30min), 4);
    EXPECT_DOUBLE_EQ(tiles.UnitsPerHour(0, kStart + 30min), 0);

    tiles.OnLog(
        "COM4 #2 SN-2 PASS 1.0 s\ncom3: port COM3 (/dev/ttyS2) is busy\nnot for a station: "
        "\"x\"\n");
    EXPECT_EQ(tiles.Tiles()[0].error, "port COM3 (/dev/ttyS2) is busy");
    EXPECT_EQ(tiles.Tiles()[1].error, "");
    EXPECT_EQ(tiles.BenchLines(), std::vector<std::string>{"not for a station: \"x\""});
}

}  // namespace
}  // namespace dekvanto::app
