// The bench's own side of a barcode scanner: which station each typed line goes to, lines that
// go to none, and identifiers beyond --count.
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
    BenchBoard board(stations, log, 0, nullptr, std::nullopt);
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
    BenchBoard board(stations, log, 0, nullptr, 2);
    board.OnOwnInput("SN-1\nCOM4\nCOM3 SN-2\nSN-3\n");
    EXPECT_EQ(board.TakeMessages(),
              (std::vector<StationMessage>{{0, "S SN-1"}, {0, "S SN-2"}, {0, std::nullopt}}));
    EXPECT_EQ(log.str(),
              "not for a station: \"COM4\" (a line reads \"COM<n> <identifier>\")\n"
              "COM3: no more units: \"SN-3\" is not flashed\n");
}

}  // namespace
}  // namespace dekvanto::cli
