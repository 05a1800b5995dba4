// The parent's side of a bench, fed station messages, operator lines and process ends as
// `vanto bench` would feed them: who gets which identifier, which lines are refused and why, when
// stations are stopped, started and ended, and what the bench's state then shows.
#include "core/bench/bench_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dekvanto::core {
namespace {

using Kind = BenchAction::Kind;
const BenchTime kAt{};

std::string Message(const StationMessage &message) {
    return StationMessageLine(message);
}
std::string EventOf(DownloadEvent event) {
    return EventMessageLine(EventLine(event));
}
std::string Ask(int unit) {
    return Message({.kind = StationMessageKind::kAsk, .unit = unit});
}

// The go-aheads sent in actions, as "<station> <identifier or ->".
std::vector<std::string> Goes(const BenchActions &actions) {
    std::vector<std::string> goes;
    for (const BenchAction &action : actions) {
        if (action.kind == Kind::kSend) {
            const auto go = ReadStationMessage(action.line).message;
            goes.push_back(std::to_string(action.station) + " " + go->unit_id.value_or("-"));
        }
    }
    return goes;
}
std::vector<DownloadEvent> Scans(const BenchActions &actions, ScanState state) {
    std::vector<DownloadEvent> scans;
    for (const BenchAction &action : actions) {
        if (action.kind == Kind::kEvent && action.event.kind == EventKind::kScan &&
            action.event.scan_state == state) {
            scans.push_back(action.event);
        }
    }
    return scans;
}
bool Has(const BenchActions &actions, Kind kind, std::size_t station) {
    for (const BenchAction &action : actions) {
        if (action.kind == kind && action.station == station) {
            return true;
        }
    }
    return false;
}

// A unit of `station` that runs and ends as `verdict`.
void Unit(BenchControl &bench, std::size_t station, const std::string &port, int unit,
          std::optional<std::string> id, UnitVerdict verdict) {
    bench.OnStationLine(
        station,
        EventOf({.kind = EventKind::kUnitStart, .station = port, .unit = unit, .unit_id = id}),
        kAt);
    bench.OnStationLine(station,
                        EventOf({.kind = EventKind::kUnitEnd,
                                 .station = port,
                                 .unit = unit,
                                 .status = verdict == UnitVerdict::kPassed ? 0 : 6,
                                 .unit_id = id,
                                 .verdict = verdict}),
                        kAt);
}

TEST(BenchControl, ScannedLinesGoToTheirStationOrAreRefusedWithTheReason) {
    BenchControl bench({"COM3", "COM4"}, /*scan=*/true, std::nullopt);
    bench.Begin(kAt);
    EXPECT_EQ(Scans(bench.OnOwnLine("  com4   SN-1 ", kAt), ScanState::kQueued).size(), 1u);
    const std::vector<std::pair<std::string, std::string>> refused{
        {"SN-2", "not for a station"},              // two stations: a bare identifier is nobody's
        {"COM9 SN-2", "no station COM9"},           // a port that is not on the bench
        {"COM4 SN-1", "already scanned for COM4"},  // queued already
        {"COM3 SN\x1b]0;x\x07", "control character"},
        {"COM3 " + std::string(65, 'x'), "more than 64 bytes"},
    };
    for (const auto &[line, why] : refused) {
        const std::vector<DownloadEvent> no =
            Scans(bench.OnOwnLine(line, kAt), ScanState::kRefused);
        ASSERT_EQ(no.size(), 1u) << line;
        EXPECT_NE(no[0].reason->find(why), std::string::npos) << line << ": " << *no[0].reason;
    }
    // Lines that look like control lines but are not are refused, never flashed.
    for (const char *line : {"stop COM3 x", "START", "stop COM9"}) {
        const BenchActions actions = bench.OnOwnLine(line, kAt);
        EXPECT_TRUE(Scans(actions, ScanState::kQueued).empty()) << line;
        ASSERT_EQ(actions.size(), 1u) << line;
        EXPECT_EQ(actions[0].event.kind, EventKind::kNotice) << line;
    }
    EXPECT_EQ(bench.State().Tiles()[1].waiting_ids, std::deque<std::string>{"SN-1"});
    EXPECT_EQ(Goes(bench.OnStationLine(1, Ask(1), kAt)), std::vector<std::string>{"1 SN-1"});
    EXPECT_EQ(bench.State().Tiles()[1].unit_id, "SN-1");             // its next phone gets it
    EXPECT_TRUE(Goes(bench.OnStationLine(0, Ask(1), kAt)).empty());  // waits for a scan
    EXPECT_EQ(Goes(bench.OnOwnLine("COM3 SN-3", kAt)), std::vector<std::string>{"0 SN-3"});

    // A phone that passed is not flashed again under its identifier; one that failed may be
    // retested.
    Unit(bench, 1, "COM4", 1, "SN-1", UnitVerdict::kPassed);
    Unit(bench, 0, "COM3", 1, "SN-3", UnitVerdict::kFailed);
    EXPECT_EQ(Scans(bench.OnOwnLine("COM3 SN-1", kAt), ScanState::kRefused).size(), 1u);
    EXPECT_EQ(Scans(bench.OnOwnLine("COM3 SN-3", kAt), ScanState::kQueued).size(), 1u);
    EXPECT_EQ(bench.State().Rows()[0].unit.unit_id, "SN-1");
}

TEST(BenchControl, IdentifiersOfAStoppedStationWaitForItAndAreDroppedWithAWordWhenItEnds) {
    BenchControl bench({"COM3", "COM4"}, true, std::nullopt);
    bench.Begin(kAt);
    bench.OnStationLine(0, Ask(1), kAt);
    bench.OnOwnLine("COM3 SN-1", kAt);  // handed to the station, which has not begun the unit
    bench.OnOwnLine("COM3 SN-2", kAt);
    EXPECT_TRUE(Has(bench.OnOwnLine("stop com3", kAt), Kind::kStop, 0));
    const BenchActions ended = bench.OnStationEnded(0, kStopped, kAt);
    EXPECT_EQ(bench.State().Tiles()[0].state, TileState::kStopped);
    EXPECT_TRUE(Scans(ended, ScanState::kDropped).empty());
    // A scan for the stopped station is refused at once, not queued behind its back.
    const auto refused = Scans(bench.OnOwnLine("COM3 SN-3", kAt), ScanState::kRefused);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].reason->find("is stopped"), std::string::npos);

    const BenchActions started = bench.OnOwnLine("start COM3", kAt);
    ASSERT_TRUE(Has(started, Kind::kStart, 0));
    EXPECT_EQ(Goes(bench.OnStationLine(0, Ask(1), kAt)), std::vector<std::string>{"0 SN-1"});
    // The operator's input ends; the station ends by itself: what waited for it is dropped.
    bench.OnOwnInputEnded(kAt);
    const auto dropped = Scans(bench.OnStationEnded(0, kPortError, kAt), ScanState::kDropped);
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(*dropped[0].unit_id, "SN-1");
    EXPECT_EQ(*dropped[1].unit_id, "SN-2");
    EXPECT_EQ(bench.State().Tiles()[0].state, TileState::kEnded);
}

TEST(BenchControl, TheCountEndsTheGoAheadsAndTheStationsInputs) {
    BenchControl bench({"COM3", "COM4"}, false, 2);
    bench.Begin(kAt);
    EXPECT_EQ(Goes(bench.OnStationLine(0, Ask(1), kAt)), std::vector<std::string>{"0 -"});
    const BenchActions last = bench.OnStationLine(1, Ask(1), kAt);
    EXPECT_EQ(Goes(last), std::vector<std::string>{"1 -"});
    EXPECT_TRUE(Has(last, Kind::kCloseInput, 0) && Has(last, Kind::kCloseInput, 1));
    EXPECT_TRUE(Goes(bench.OnStationLine(0, Ask(2), kAt)).empty());
}

TEST(BenchControl, AStationCutOffInAUnitLeavesItInterruptedAndTheBenchSaysSo) {
    BenchControl bench({"COM3", "COM4"}, false, std::nullopt);
    bench.Begin(kAt);
    Unit(bench, 1, "COM4", 1, std::nullopt, UnitVerdict::kFailed);
    bench.OnStationLine(0, EventOf({.kind = EventKind::kUnitStart, .station = "COM3", .unit = 4}),
                        kAt);
    // What the dying process printed outside its messages is kept as it is.
    const BenchActions said = bench.OnStationLine(0, "Segmentation fault", kAt);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(*OperatorLine(said[0].event), "COM3: Segmentation fault");
    bench.OnStationEnded(0, kOtherFailure, kAt);
    const StationTile &cut = bench.State().Tiles()[0];
    ASSERT_TRUE(cut.last);
    EXPECT_EQ(cut.last->unit, 4);
    EXPECT_EQ(cut.last->verdict, UnitVerdict::kInterrupted);
    bench.OnStationLine(1, Message({.kind = StationMessageKind::kError, .text = "disk full"}), kAt);
    bench.OnStationEnded(1, kFileError, kAt);
    EXPECT_EQ(bench.State().Tiles()[1].error, "disk full");
    EXPECT_FALSE(bench.Running());
    int status = -1;
    bench.Finish(kAt, status);
    EXPECT_EQ(status, kOtherFailure);  // the first station in the order of the ports
}

}  // namespace
}  // namespace dekvanto::core
