// The parent's side of several stations with --events: their events pass on as whole lines
// however the pipes cut them, and a station whose stream stopped short still gets its end.
#include <gtest/gtest.h>

#include <sstream>

#include "core/bench/station_messages.h"
#include "core/download/download_events.h"
#include "ports_board.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::EventKind;

std::string Message(const std::string &event_line) {
    return dekvanto::core::EventMessageLine(event_line);
}

TEST(StationEvents, PassedOnWholeAndEndedForAStationThatStoppedShort) {
    std::vector<StationState> stations(3);
    stations[0].port = "COM3";
    stations[1].port = "COM4";
    stations[2].port = "COM5";
    std::ostringstream log;
    std::ostringstream events;
    PortsBoard board(stations, log, false, &events);

    // COM3 ends its unit; COM4 is killed mid-download; COM5 never started.
    const std::string com3 =
        Message(R"({"event":"unit-start","station":"COM3","unit":1})") + "\n" +
        Message(R"({"event":"phase","station":"COM3","unit":1,"line":"Open COM3"})") + "\n" +
        Message(R"({"event":"unit-end","station":"COM3","unit":1,"result":"2","status":0,)"
                R"("seconds":1.5,"bytes":9})") +
        "\r\n";
    const std::string com4 =
        Message(R"({"event":"unit-start","station":"COM4","unit":1})") + "\n" +
        Message(R"({"event":"progress","station":"COM4","unit":1,"percent":40,"bytes":4000,)"
                R"("rate":0})") +
        "\n" + Message(R"({"event":"phase","station":"COM4","unit":1,"li)").substr(0, 60);
    // The two pipes deliver a few bytes at a time, taken in turns.
    for (std::size_t at = 0; at < std::max(com3.size(), com4.size()); at += 7) {
        if (at < com3.size()) {
            board.OnOutput(stations[0], com3.data() + at,
                           std::min<std::size_t>(7, com3.size() - at));
        }
        if (at < com4.size()) {
            board.OnOutput(stations[1], com4.data() + at,
                           std::min<std::size_t>(7, com4.size() - at));
        }
    }
    stations[0].status = kFinished;
    stations[1].status = kOtherFailure;
    stations[2].status = kOtherFailure;
    stations[2].last_line = "could not start vanto";
    DownloadOptions options;
    options.events = true;
    std::istringstream none;
    Console console{events, log, none};
    EXPECT_EQ(FinishStations(stations, options, console), kOtherFailure);

    std::vector<dekvanto::core::DownloadEvent> read;
    std::istringstream lines(events.str());
    for (std::string line; std::getline(lines, line);) {
        const auto reading = dekvanto::core::ReadEventLine(line);
        ASSERT_TRUE(reading.event) << line << ": " << reading.reason;
        read.push_back(*reading.event);
    }
    const auto kinds_of = [&read](const std::string &port) {
        std::vector<EventKind> kinds;
        for (const auto &event : read) {
            if (event.station == port) {
                kinds.push_back(event.kind);
            }
        }
        return kinds;
    };
    EXPECT_EQ(kinds_of("COM3"),
              (std::vector{EventKind::kUnitStart, EventKind::kPhase, EventKind::kUnitEnd}));
    EXPECT_EQ(kinds_of("COM4"),
              (std::vector{EventKind::kUnitStart, EventKind::kProgress, EventKind::kUnitEnd}));
    EXPECT_EQ(kinds_of("COM5"), (std::vector{EventKind::kUnitStart, EventKind::kUnitEnd}));
    EXPECT_EQ(read.back().status, kOtherFailure);
    EXPECT_EQ(read.back().error, "could not start vanto");
    EXPECT_EQ(log.str().find("{\"event\""), std::string::npos) << "no event in the log";
}

}  // namespace
}  // namespace dekvanto::cli
