// The record file read as a stream: when each unit and each skipped line is handed out, in which
// order, and what a full window of waiting units lets go. (How lines pair into units is tested
// with the whole-file reader, in unit_record_test.cpp.)
#include "core/records/record_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "core/records/record_lines.h"

namespace dekvanto::core {
namespace {

UnitRecord Unit(const std::string &station, int64_t unit) {
    UnitRecord r;
    r.constants.host = "bench-2";
    r.start.station = station;
    r.start.unit = unit;
    r.start.started = "2024-05-17T08:30:1" + std::to_string(unit) + ".000Z";
    return r;
}

UnitRecord Ended(UnitRecord r) {
    r.end = UnitEnd{"2024-05-17T08:31:00.000Z", 57,     22000,   '2',
                    OutcomeClass::kFinished,    "done", {"log"}, std::nullopt};
    return r;
}

// What the stream handed out, each with how far the reading had got then ("after line 8", or
// "at the end" once the file was read to its end).
std::vector<std::string> Stream(const std::vector<std::string> &lines, RecordWindow window = {}) {
    std::string text;
    for (const std::string &line : lines) {
        text += line + "\n";
    }
    std::istringstream in(text);
    std::vector<std::string> seen;
    const auto when = [&in, &text] {
        const std::streamoff at = in.tellg();
        if (at < 0) {
            return std::string(" at the end");
        }
        return " after line " + std::to_string(std::count(text.begin(), text.begin() + at, '\n'));
    };
    const auto unit = [&](RecordedUnit unit) {
        const UnitRecord &r = unit.record;
        seen.push_back(r.start.station + " #" + std::to_string(r.start.unit) + " of line " +
                       std::to_string(unit.line) +
                       (unit.Interrupted() ? " interrupted" : " ended") +
                       (unit.removed ? " removed" : "") + when());
    };
    const auto skipped = [&](const SkippedRecordLine &skipped) {
        seen.push_back("line " + std::to_string(skipped.number) + " skipped" + when());
    };
    StreamRecordFile(in, {unit, skipped}, window);
    return seen;
}

TEST(RecordStream, AUnitComesOutOnceItsStationStartsAnotherAndAfterThoseStartedBeforeIt) {
    const std::vector<std::string> seen = Stream({
        StartLine(Unit("COM3", 1)),                  // 1
        StartLine(Unit("COM4", 1)),                  // 2
        EndLine(Ended(Unit("COM4", 1))),             // 3
        "not a record",                              // 4
        StartLine(Unit("COM4", 2)),                  // 5: COM4 #1 is final, behind COM3 #1
        EndLine(Ended(Unit("COM3", 1))),             // 6
        RemovalLine(Unit("COM3", 1), "2024-05-17"),  // 7
        StartLine(Unit("COM3", 2)),                  // 8: COM3 #1 is final
        EndLine(Ended(Unit("COM4", 2))),             // 9
    });
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "line 4 skipped after line 4",
                        "COM3 #1 of line 1 ended removed after line 8",
                        "COM4 #1 of line 2 ended after line 8",
                        "COM4 #2 of line 5 ended at the end",
                        "COM3 #2 of line 8 interrupted at the end",
                    }));
}

// A station whose unit stays open while others start: once the window holds too much, that unit
// goes out as it stands, and its end line, coming later, stands for a unit of its own (which its
// removal line then marks).
TEST(RecordStream, AFullWindowLetsItsOldestUnitGoAsItStands) {
    const std::vector<std::string> lines = {
        StartLine(Unit("COM3", 1)),                  // 1
        StartLine(Unit("COM4", 1)),                  // 2
        EndLine(Ended(Unit("COM4", 1))),             // 3
        StartLine(Unit("COM4", 2)),                  // 4: three units waiting
        EndLine(Ended(Unit("COM3", 1))),             // 5
        RemovalLine(Unit("COM3", 1), "2024-05-17"),  // 6
    };
    const std::vector<std::string> expected = {
        "COM3 #1 of line 1 interrupted after line 4",
        "COM4 #1 of line 2 ended after line 4",
        "COM4 #2 of line 4 interrupted at the end",
        "COM3 #1 of line 5 ended removed at the end",
    };
    // Bound by count, then by the bytes of the three units' lines less one.
    const std::size_t bytes = lines[0].size() + lines[2].size() + lines[3].size();
    for (const RecordWindow window : {RecordWindow{2, bytes}, RecordWindow{3, bytes - 1}}) {
        EXPECT_EQ(Stream(lines, window), expected) << window.units << " units, " << window.bytes;
    }
    // The default window has room for them all: COM3 #1 keeps its end line and its removal.
    EXPECT_EQ(Stream(lines)[0], "COM3 #1 of line 1 ended removed at the end");
}

}  // namespace
}  // namespace dekvanto::core
