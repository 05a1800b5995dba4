// The download events as lines of JSON: what is written reads back the same, a cut or broken line
// is told apart from an event, and progress is thinned out by the writer's clock.
#include "core/download/download_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dekvanto::core {
namespace {

using enum EventKind;

std::vector<DownloadEvent> OneOfEachKind() {
    return {
        {.kind = kWaiting, .station = "COM3", .unit = 12, .waiting_for = WaitingFor::kRemoval},
        {.kind = kUnitStart, .station = "COM3"},
        {.kind = kPhase, .station = "COM3", .text = "Download \"code.bin\" \\ 100%\t"},
        {.kind = kProgress,
         .station = "COM3",
         .percent = 45,
         .bytes = 5'000'000'000,
         .rate = 110300},
        {.kind = kPrompt, .station = "COM3", .text = "Ready to download the code file"},
        {.kind = kMessage, .station = "COM3", .text = "Error Open COM port"},
        {.kind = kUnitEnd, .station = "COM3", .bytes = 22500, .result = '2', .seconds = 57.125},
        {.kind = kUnitEnd, .station = "COM3", .status = 5, .error = "cannot read loader file x"},
        // What a bench adds: identifiers, verdicts, a station's end with its reason, scans and
        // notices.
        {.kind = kUnitStart, .station = "COM4", .unit = 7, .unit_id = "SN-0042"},
        {.kind = kUnitEnd,
         .station = "COM4",
         .unit = 7,
         .status = 6,
         .unit_id = "SN-0042",
         .verdict = UnitVerdict::kFailed,
         .reason = "no acknowledgement in the code file"},
        {.kind = kStation,
         .station = "COM4",
         .unit = 8,
         .station_run = StationRun::kEnded,
         .status = 4,
         .error = "port COM4 (/dev/ttyUSB1) is busy"},
        {.kind = kStation, .station = "COM4", .unit = 8, .station_run = StationRun::kRunning},
        {.kind = kScan,
         .station = "COM4",
         .unit = 0,
         .unit_id = "SN 9",
         .reason = "COM4 is stopped",
         .scan_state = ScanState::kRefused},
        {.kind = kNotice, .station = "", .unit = 0, .text = "not a control line: \"stop\""},
    };
}

TEST(DownloadEvents, EveryKindReadsBackAsWritten) {
    for (const DownloadEvent &event : OneOfEachKind()) {
        const std::string line = EventLine(event);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        const EventLineReading reading = ReadEventLine(line + "\r\n");
        ASSERT_TRUE(reading.event) << line << ": " << reading.reason;
        EXPECT_EQ(*reading.event, event) << line;
    }
}

TEST(DownloadEvents, TextThatIsNotUtf8StillMakesALine) {
    const DownloadEvent phase{
        .kind = kPhase, .station = "COM3", .text = "Download C:\\Fichiers\\\xe9t\xe9.bin"};
    const EventLineReading reading = ReadEventLine(EventLine(phase));
    ASSERT_TRUE(reading.event) << reading.reason;
    EXPECT_NE(reading.event->text.find("Download C:\\Fichiers\\"), std::string::npos);
}

TEST(DownloadEvents, ACutLineIsTruncatedWhereverItIsCut) {
    const std::string line = EventLine(OneOfEachKind().back());
    for (std::size_t length = 1; length < line.size(); ++length) {
        const EventLineReading reading = ReadEventLine(line.substr(0, length));
        EXPECT_EQ(reading.problem, EventLineProblem::kTruncated) << line.substr(0, length);
        EXPECT_FALSE(reading.event);
    }
}

TEST(DownloadEvents, LinesThatAreNotEventsAreMalformedAndUnknownKindsSaySo) {
    const std::vector<std::string> malformed = {
        "",
        "progress  45%  123456 bytes",
        "[1,2]",
        R"({"event":"phase","station":"COM3","unit":1,"line":"x"} trailing)",
        R"({"event":"phase","unit":1,"line":"x"})",
        R"({"event":"phase","station":"COM3","unit":0,"line":"x"})",
        R"({"event":"phase","station":"COM3","unit":"1","line":"x"})",
        R"({"event":"phase","station":"COM3","unit":1})",
        R"({"event":"progress","station":"COM3","unit":1,"percent":101,"bytes":1,"rate":0})",
        R"({"event":"progress","station":"COM3","unit":1,"percent":5,"bytes":-1,"rate":0})",
        R"({"event":"waiting","station":"COM3","unit":1,"for":"lunch"})",
        R"({"event":"unit-end","station":"COM3","unit":1,"result":"23","status":0,"seconds":1,)"
        R"("bytes":0})",
        R"({"event":"unit-end","station":"COM3","unit":1,"result":null,"status":0,"bytes":0})",
        // Broken inside, though its last character closes it: not cut off.
        R"({"event":"waiting"])",
        R"({"event":"unit-end","station":"COM3","unit":1,"result":"2","status":0,"seconds":1,)"
        R"("bytes":0,"verdict":"GREAT"})",
        R"({"event":"scan","station":"COM3","unit":0,"unit_id":"SN-1","state":"lost"})",
        R"({"event":"station","station":"COM3","unit":2,"state":"ended","status":"4"})",
    };
    for (const std::string &line : malformed) {
        const EventLineReading reading = ReadEventLine(line);
        EXPECT_EQ(reading.problem, EventLineProblem::kMalformed) << line;
        EXPECT_FALSE(reading.event) << line;
        EXPECT_FALSE(reading.reason.empty()) << line;
    }
    const EventLineReading later =
        ReadEventLine(R"({"event":"temperature","station":"COM3","unit":2,"celsius":41})");
    EXPECT_EQ(later.problem, EventLineProblem::kUnknownKind);
}

TEST(EventWriter, ProgressAtMostTenASecondAndAlwaysTheFull100) {
    std::vector<DownloadEvent> written;
    EventWriter writer(
        [&written](const std::string &line) { written.push_back(*ReadEventLine(line).event); },
        "COM4");
    writer.UnitStart(7);
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    // The engine reports bytes every millisecond for three seconds.
    for (int ms = 0; ms < 3000; ++ms) {
        writer.Progress(ms / 31, ms * 10, 80000, start + std::chrono::milliseconds(ms));
    }
    // The last block right after: 100 % is sent at once, and only once.
    writer.Progress(100, 30000, 80000, start + std::chrono::milliseconds(3001));
    writer.Progress(100, 30000, 80000, start + std::chrono::milliseconds(3500));

    std::vector<int> sent_at;  // milliseconds, from the bytes
    for (const DownloadEvent &event : written) {
        if (event.kind == EventKind::kProgress) {
            EXPECT_EQ(event.station, "COM4");
            EXPECT_EQ(event.unit, 7);
            sent_at.push_back(static_cast<int>(event.bytes / 10));
        }
    }
    ASSERT_GE(sent_at.size(), 31u) << "one every 100 ms, not fewer";
    EXPECT_EQ(sent_at.size(), 31u);
    EXPECT_EQ(written.back().percent, 100);
    EXPECT_EQ(sent_at.back(), 3000);
    for (std::size_t i = 10; i + 1 < sent_at.size(); ++i) {
        EXPECT_GE(sent_at[i] - sent_at[i - 10], 1000) << "eleven within one second";
    }
    // A new unit sends its first progress at once again.
    writer.UnitStart(8);
    writer.Progress(0, 0, 0, start + std::chrono::milliseconds(3501));
    EXPECT_EQ(written.back().kind, EventKind::kProgress);
    EXPECT_EQ(written.back().unit, 8);
}

TEST(EventWriter, AProgressHeldBackIsWrittenOnceItsTimeHasComeButNeverAfterTheUnitEnd) {
    std::vector<DownloadEvent> written;
    EventWriter writer(
        [&written](const std::string &line) { written.push_back(*ReadEventLine(line).event); },
        "COM4");
    const auto at = [](int ms) {
        return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(ms);
    };
    writer.UnitStart(1);
    writer.Progress(10, 100, 0, at(0));
    writer.Progress(40, 400, 0, at(50));  // the code file's last block, then a long wait
    writer.FlushProgress(at(99));
    ASSERT_EQ(written.size(), 2u);
    writer.FlushProgress(at(100));
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written.back().percent, 40);
    writer.FlushProgress(at(5000));  // nothing new
    EXPECT_EQ(written.size(), 3u);

    writer.Progress(50, 500, 0, at(5001));
    writer.Progress(60, 600, 0, at(5002));
    writer.UnitEnd({});
    writer.FlushProgress(at(9000));
    EXPECT_EQ(written.back().kind, EventKind::kUnitEnd);
}

}  // namespace
}  // namespace dekvanto::core
