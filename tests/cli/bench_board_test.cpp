// The bench's own input: which station each scanned line goes to, lines that go to none,
// identifiers beyond --count, and the lines that stop and start one station.
#include "bench_board.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dekvanto::cli {
namespace {

std::vector<BenchStationState> Stations(std::initializer_list<const char *> ports) {
    std::vector<BenchStationState> stations;
    for (const char *port : ports) {
        stations.emplace_back().port = port;
    }
    return stations;
}

TEST(BenchScan, EachLineGoesToItsStationOrIsReported) {
    auto stations = Stations({"COM3", "COM12"});
    std::ostringstream log;
    BenchBoard board(stations, log, 0, nullptr, std::nullopt, true);
    // Lines may come cut anywhere, end in CR LF, and carry the scanner's blanks.
    board.OnOwnInput("COM3 SN-1\r\ncom1");
    board.OnOwnInput("2  SN 2 \n\nCOM1 SN-3\nSN-4\nCOM12\nCOM3 ");
    board.OnOwnInputEnded();
    EXPECT_EQ(board.TakeMessages(),
              (std::vector<StationMessage>{
                  {0, "S SN-1"}, {1, "S SN 2"}, {0, std::nullopt}, {1, std::nullopt}}));
    EXPECT_EQ(log.str(),
              "not for a station: \"COM1 SN-3\" (a line reads \"COM<n> <identifier>\")\n"
              "not for a station: \"SN-4\" (a line reads \"COM<n> <identifier>\")\n"
              "not for a station: \"COM12\" (a line reads \"COM<n> <identifier>\")\n"
              "not for a station: \"COM3\" (a line reads \"COM<n> <identifier>\")\n");
}

TEST(BenchScan, OneStationTakesBareIdentifiersUntilTheCountIsReached) {
    auto stations = Stations({"COM3"});
    std::ostringstream log;
    BenchBoard board(stations, log, 0, nullptr, 2, true);
    board.OnOwnInput("SN-1\nCOM4\nCOM3 SN-2\nSN-3\n");
    EXPECT_EQ(board.TakeMessages(),
              (std::vector<StationMessage>{{0, "S SN-1"}, {0, "S SN-2"}, {0, std::nullopt}}));
    EXPECT_EQ(log.str(),
              "not for a station: \"COM4\" (a line reads \"COM<n> <identifier>\")\n"
              "COM3: no more units: \"SN-3\" is not flashed\n");
}

using Action = StationMessage::Action;

// Two stations, COM3 having begun its unit 5, under a board with events (scan: --scan).
struct ControlledBench {
    explicit ControlledBench(bool scan) : board(stations, log, 0, &events, std::nullopt, scan) {
        board.OnOutput(0, "W phone 5\nU 5\n", BenchBoard::Clock::now());
    }

    std::vector<BenchStationState> stations = Stations({"COM3", "COM4"});
    std::ostringstream log;
    std::ostringstream events;
    BenchBoard board;
};

TEST(BenchControl, AStoppedStationStartsAgainAfterItsLastUnitUntilNoneCan) {
    ControlledBench bench(false);
    bench.board.OnOwnInput("start COM3\nstop com3\nstop COM9\nCOM3 SN-1\n");
    bench.board.OnOwnInputEnded();  // without --scan this ends no station
    EXPECT_EQ(bench.board.TakeMessages(),
              (std::vector<StationMessage>{{0, std::nullopt, Action::kStop}}));
    EXPECT_EQ(bench.log.str(),
              "COM3: is running\n"
              "no station COM9 on this bench: \"stop COM9\"\n"
              "not a control line: \"COM3 SN-1\" (a line reads \"stop COM<n>\" or \"start "
              "COM<n>\")\n");

    // Its input has ended: the station stopped now cannot start again.
    bench.board.OnStationEnded(0, kStopped);
    EXPECT_EQ(bench.stations[0].state, BenchStationState::State::kEnded);
    EXPECT_FALSE(bench.board.AnyStopped());
}

TEST(BenchControl, StartingAgainGoesOnAfterTheUnitCutOffAndCtrlCEndsTheStopped) {
    ControlledBench bench(true);
    bench.board.OnOwnInput("stop COM3\n");
    bench.board.OnStationEnded(0, kStopped);
    EXPECT_TRUE(bench.board.AnyStopped());
    bench.board.OnOwnInput("start COM3\nstop COM4\n");
    bench.board.OnStationEnded(1, kStopped);
    EXPECT_EQ(bench.board.TakeMessages(),
              (std::vector<StationMessage>{{0, std::nullopt, Action::kStop},
                                           {0, std::nullopt, Action::kStart, 6},
                                           {1, std::nullopt, Action::kStop}}));
    bench.board.OnInterrupt();
    EXPECT_FALSE(bench.board.AnyStopped());
    EXPECT_EQ(bench.events.str(),
              "{\"event\":\"station\",\"station\":\"COM3\",\"unit\":6,\"state\":\"stopped\"}\n"
              "{\"event\":\"station\",\"station\":\"COM3\",\"unit\":6,\"state\":\"running\"}\n"
              "{\"event\":\"station\",\"station\":\"COM4\",\"unit\":1,\"state\":\"stopped\"}\n"
              "{\"event\":\"station\",\"station\":\"COM4\",\"unit\":1,\"state\":\"ended\"}\n");
}

}  // namespace
}  // namespace dekvanto::cli
