// The last unit of a station, read from the end of the record file: what a bench that starts
// again learns of the unit it left.
#include "core/records/record_tail.h"

#include <gtest/gtest.h>

#include "core/records/record_lines.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

UnitRecord Unit(const std::string &host, const std::string &station, int64_t unit) {
    UnitRecord r;
    r.constants.host = host;
    r.constants.files = {{"loader", "/f/l.bin", 3, "FED9", std::string(64, 'a')}};
    r.start.station = station;
    r.start.unit = unit;
    r.start.unit_id = "SN-" + std::to_string(unit);
    r.start.started = "2024-05-17T08:00:0" + std::to_string(unit % 10) + ".000Z";
    return r;
}

UnitRecord Ended(UnitRecord r, OutcomeClass status) {
    r.end = UnitEnd{"2024-05-17T09:00:00.000Z", 1, 2, '2', status, "line", {"log"}, {}};
    return r;
}

struct Seen {
    int64_t unit;
    bool passed;
    bool removed;
    bool operator==(const Seen &) const = default;
};

std::optional<Seen> SeenOf(const std::optional<LastUnit> &last) {
    return last ? std::optional<Seen>(Seen{last->unit, last->passed, last->removed}) : std::nullopt;
}

TEST(RecordTail, TheStationsNewestUnitWithItsOutcomeAndRemoval) {
    const UnitRecord com3_1 = Unit("bench-2", "COM3", 1);
    const UnitRecord com3_2 = Unit("bench-2", "COM3", 2);
    // Lines of another station and of the same port on another bench come in between.
    const std::string others = StartLine(Unit("bench-2", "COM4", 7)) + "\n" +
                               EndLine(Ended(Unit("bench-3", "COM3", 9), OutcomeClass::kFinished)) +
                               "\n" + RemovalLine(Unit("bench-3", "COM3", 9), "t") + "\n";
    const std::string passed_1 =
        StartLine(com3_1) + "\n" + EndLine(Ended(com3_1, OutcomeClass::kFinished)) + "\n";
    const struct {
        const char *what;
        std::string contents;
        std::optional<Seen> seen;
    } cases[] = {
        {"passed, nothing after", passed_1 + others, Seen{1, true, false}},
        {"passed, then removed", passed_1 + RemovalLine(com3_1, "t") + "\n" + others,
         Seen{1, true, true}},
        {"failed, then removed",
         EndLine(Ended(com3_2, OutcomeClass::kNoAcknowledgement)) + "\n" +
             RemovalLine(com3_2, "t") + "\n",
         Seen{2, false, true}},
        {"interrupted: a start line only", passed_1 + others + StartLine(com3_2) + "\n" + others,
         Seen{2, false, false}},
        {"a removal of the unit before does not count",
         passed_1 + RemovalLine(com3_1, "t") + "\n" + StartLine(com3_2) + "\n",
         Seen{2, false, false}},
        {"torn and foreign lines passed over",
         passed_1 + "not a record\n{\"schema\":1,\"event\":\"start\",\"station\":\"COM3\",\"u",
         Seen{1, true, false}},
        {"no line of the station", others, std::nullopt},
    };
    TempFolder folder;
    const std::string path = (folder / "records.jsonl").string();
    for (const auto &c : cases) {
        folder.Write("records.jsonl", c.contents);
        EXPECT_EQ(SeenOf(FindLastUnit(path, "bench-2", "com3")), c.seen) << c.what;
        // Blocks far smaller than a line: every line crosses a block boundary.
        EXPECT_EQ(SeenOf(FindLastUnit(path, "bench-2", "COM3", {7, 1 << 20})), c.seen) << c.what;
    }

    const auto last = FindLastUnit(path, "bench-2", "COM4");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->unit_id, "SN-7");
    EXPECT_EQ(last->started, Unit("bench-2", "COM4", 7).start.started);
    EXPECT_FALSE(FindLastUnit((folder / "missing.jsonl").string(), "bench-2", "COM3"));
    EXPECT_FALSE(FindLastUnit(folder.Path().string(), "bench-2", "COM3"));
}

TEST(RecordTail, GivesUpAfterReadingItsBoundFromTheEnd) {
    TempFolder folder;
    const UnitRecord unit = Unit("bench-2", "COM3", 1);
    std::string contents = StartLine(unit) + "\n";
    const std::string path =
        folder.Write("records.jsonl", contents + std::string(4000, '\n')).string();
    EXPECT_TRUE(FindLastUnit(path, "bench-2", "COM3", {512, 8192}));
    EXPECT_FALSE(FindLastUnit(path, "bench-2", "COM3", {512, 2048}));
}

}  // namespace
}  // namespace dekvanto::core
