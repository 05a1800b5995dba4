// The unit record: digests of the files sent, the constants taken from a download request, the
// result line, and the lines written and read back.
#include "core/records/unit_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <sstream>

#include "core/records/file_digest.h"
#include "core/records/record_lines.h"
#include "core/records/record_reader.h"
#include "core/records/record_time.h"
#include "core/window/string_table.h"
#include "dekvanto/mx40.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

TEST(FileDigest, KnownVectorsWholeAndAcrossReadPieces) {
    TempFolder folder;
    const struct {
        std::string contents;
        const char *sha256;
        uint16_t sum16;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 0xFFFF},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", 0xFED9},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", 0xE5BF},
    };
    for (const auto &c : cases) {
        const auto digest = DigestFile(folder.Write("file.bin", c.contents).string());
        ASSERT_TRUE(digest) << c.contents.size();
        EXPECT_EQ(digest->sha256, c.sha256);
        EXPECT_EQ(digest->sum16, c.sum16);
        EXPECT_EQ(digest->size, static_cast<int64_t>(c.contents.size()));
    }
    EXPECT_FALSE(DigestFile((folder / "missing.bin").string()));
    EXPECT_FALSE(DigestFile(folder.Path().string()));
}

TEST(RecordConstants, FilesSentSettingsAndProductComeFromTheRequest) {
    TempFolder folder;
    folder.Write("cfg/dekvanto.cfg", "\"Vanto S\" ldr.bin 16 2 1\n");
    folder.Write("cfg/ldr.bin", "abc");
    DownloadOverrides overrides;
    overrides.port = "COM4";
    overrides.product_list = (folder / "cfg/dekvanto.cfg").string();
    overrides.product = "vanto s";
    overrides.code = folder.Write("code.bin", "").string();
    overrides.speed = "460800";
    overrides.parity = "even";
    overrides.blind = true;
    DownloadRequest request;
    ASSERT_FALSE(BuildDownloadRequest(overrides, ProgramFiles{}, request));

    RecordConstants constants;
    ASSERT_FALSE(BuildRecordConstants(request, "1.2.3", constants));
    EXPECT_EQ(constants.tool_version, "1.2.3");
    EXPECT_EQ(constants.product, "Vanto S");
    EXPECT_EQ(constants.settings, (RecordSettings{460800, "even", 1, 16, 2, "blind"}));
    const std::vector<SentFile> files = {
        {"loader", (folder / "cfg/ldr.bin").string(), 3, "FED9",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"code", (folder / "code.bin").string(), 0, "FFFF",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    };
    EXPECT_EQ(constants.files, files);

    // A file that went away since the request was checked refuses the run.
    std::filesystem::remove(folder / "code.bin");
    const auto refused = BuildRecordConstants(request, "1.2.3", constants);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, OutcomeClass::kFileError);
}

TEST(RecordConstants, DeviceFactsOfTheStationsPort) {
    const std::vector<PortEntry> ports = {{"COM3", "/dev/ttyS0", ""},
                                          {"COM4", "/dev/ttyUSB0", "FT232R", "A10K"}};
    EXPECT_EQ(DeviceOfPort(ports, "COM4"), (RecordDevice{"/dev/ttyUSB0", "A10K", "FT232R"}));
    EXPECT_EQ(DeviceOfPort(ports, "COM3"), (RecordDevice{"/dev/ttyS0", {}, {}}));
    EXPECT_EQ(DeviceOfPort(ports, "COM9"), RecordDevice{});

    // On this machine: the node that the port register's entry leads to, else the kernel's port.
    TempFolder folder;
    const auto node = folder.Write("pts/7", "");
    std::filesystem::create_directories(folder / "ports");
    std::filesystem::create_symlink(node, folder / "ports/COM7");
    const char *before = std::getenv("DEKVANTO_PORTS");
    const std::string kept = before != nullptr ? before : "";
    ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
    const RecordDevice behind_com7{std::filesystem::canonical(node).string(), {}, {}};
    EXPECT_EQ(DeviceOfStation("COM7"), behind_com7);
    EXPECT_EQ(DeviceOfStation("COM2").path, "/dev/ttyS1");
    before != nullptr ? ::setenv("DEKVANTO_PORTS", kept.c_str(), 1) : ::unsetenv("DEKVANTO_PORTS");
}

TEST(ResultLine, TheFailuresOwnLineNotTheGenericOne) {
    auto outcome = [](std::optional<int32_t> result, std::optional<int32_t> map_check) {
        DownloadOutcome o;
        o.result = result;
        o.map_check = map_check;
        o.lines = {"first", "last"};
        return o;
    };
    EXPECT_EQ(ResultLineOf(outcome(MX40_RESULT_DONE, {}), true),
              AppString(StringId::kDownloadCompleted));
    EXPECT_EQ(ResultLineOf(outcome(MX40_RESULT_DONE, {}), false),
              AppString(StringId::kDataFullySent));
    EXPECT_EQ(ResultLineOf(outcome(MX40_RESULT_NO_ACK, MX40_MAP_COMPATIBLE), true),
              AppString(StringId::kNotAcknowledged));
    EXPECT_EQ(ResultLineOf(outcome({}, MX40_MAP_MISMATCH), true),
              AppString(StringId::kMappingIncompatible));
    EXPECT_EQ(ResultLineOf(outcome({}, {}), true), "last");
}

UnitRecord SampleRecord() {
    UnitRecord r;
    r.constants.host = "bench-2";
    r.constants.tool_version = "1.4.0";
    r.constants.product = "Vanto S";
    r.constants.settings = {460800, "none", 1, 16, {}, "acknowledged"};
    r.constants.files = {{"loader", "/f/loader.bin", 3, "FED9", std::string(64, 'a')},
                         {"code", "/f/code.bin", 2097152, "1C", std::string(64, 'b')}};
    r.start = {"COM3", {"/dev/ttyUSB0", "A10K", {}}, 12, "SN-0042", {}, "2024-05-17T08:30:15.250Z"};
    return r;
}

TEST(RecordLines, StartAndEndLinesReadBackToTheSameRecord) {
    UnitRecord record = SampleRecord();
    std::string why;
    const auto start = ParseRecordLine(StartLine(record), why);
    ASSERT_TRUE(start) << why;
    EXPECT_EQ(start->event, RecordEvent::kStart);
    EXPECT_EQ(start->record, record);

    DownloadOutcome outcome;
    outcome.status = OutcomeClass::kNoAcknowledgement;
    outcome.result = MX40_RESULT_NO_ACK;
    outcome.lines = {"Loader sent", "DOWNLOAD ERROR", "bad byte \xff here"};
    outcome.bytes = 123456;
    outcome.seconds = 12.5;
    EndUnit(record, outcome, std::chrono::system_clock::time_point{});
    record.end->reason = "no acknowledgement in the code file";
    const std::string line = EndLine(record);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_LT(line.find("\"result_line\":"), line.find("\"reason\":"));
    EXPECT_LT(line.find("\"reason\":"), line.find("\"log\":"));
    auto end = ParseRecordLine(line, why);
    ASSERT_TRUE(end) << why;
    EXPECT_EQ(end->event, RecordEvent::kEnd);
    ASSERT_TRUE(end->record.end);
    EXPECT_EQ(end->record.end->ended, "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(end->record.end->result, static_cast<char>(MX40_RESULT_NO_ACK));
    EXPECT_EQ(end->record.end->log[2], "bad byte \xef\xbf\xbd here");  // U+FFFD for the bad byte
    end->record.end->log[2] = record.end->log[2];
    EXPECT_EQ(end->record, record);

    const auto removal = ParseRecordLine(RemovalLine(record, "2024-05-17T08:32:00.000Z"), why);
    ASSERT_TRUE(removal) << why;
    EXPECT_EQ(removal->event, RecordEvent::kRemoved);
    EXPECT_EQ(removal->removed, "2024-05-17T08:32:00.000Z");
    EXPECT_EQ(removal->record.start, record.start);
    EXPECT_EQ(removal->record.constants.host, "bench-2");
    EXPECT_FALSE(removal->record.end);
}

// The status words as the documented format spells them (docs/records.md), each read as its class
// and written so: a round trip alone would not see two words swapped.
TEST(RecordLines, StatusWordsAreTheDocumentedOnes) {
    const std::pair<const char *, OutcomeClass> words[] = {
        {"finished", OutcomeClass::kFinished},
        {"other-failure", OutcomeClass::kOtherFailure},
        {"bad-request", OutcomeClass::kBadRequest},
        {"stopped", OutcomeClass::kStopped},
        {"port-error", OutcomeClass::kPortError},
        {"file-error", OutcomeClass::kFileError},
        {"no-acknowledgement", OutcomeClass::kNoAcknowledgement},
        {"unsupported-setting", OutcomeClass::kUnsupportedSetting},
        {"mapping-refused", OutcomeClass::kMappingRefused},
    };
    UnitRecord record = SampleRecord();
    EndUnit(record, DownloadOutcome{}, std::chrono::system_clock::time_point{});
    for (const auto &[word, status] : words) {
        record.end->status = status;
        EXPECT_NE(EndLine(record).find(std::string("\"status\":\"") + word + "\""),
                  std::string::npos)
            << word;
        std::string line = EndLine(record);
        std::string why;
        const auto read = ParseRecordLine(line, why);
        ASSERT_TRUE(read) << why;
        EXPECT_EQ(read->record.end->status, status) << word;
    }
}

TEST(RecordLines, AUnitNumberPastTheRecordsRangeIsRefusedNotWrapped) {
    std::string line = StartLine(SampleRecord());
    const std::size_t at = line.find("\"unit\":12") + 7;
    std::string why;
    for (const char *number : {"9223372036854775808", "18446744073709551615", "1e30"}) {
        EXPECT_FALSE(ParseRecordLine(std::string(line).replace(at, 2, number), why)) << number;
        EXPECT_NE(why.find("unit"), std::string::npos) << why;
    }
    const auto largest = ParseRecordLine(line.replace(at, 2, "9223372036854775807"), why);
    ASSERT_TRUE(largest) << why;
    EXPECT_EQ(largest->record.start.unit, std::numeric_limits<int64_t>::max());
}

TEST(RecordTime, TimestampsAndTheDatesAUserGives) {
    using namespace std::chrono;
    EXPECT_EQ(UtcTimestamp(system_clock::time_point{} + days{19860} + hours{8} + minutes{30} +
                           milliseconds{15250}),
              "2024-05-17T08:30:15.250Z");
    EXPECT_EQ(TimestampOfDate("2024-05-17"), "2024-05-17T00:00:00.000Z");
    EXPECT_EQ(TimestampOfDate("2024-05-17 08:30"), "2024-05-17T08:30:00.000Z");
    EXPECT_EQ(TimestampOfDate("2024-05-17T08:30:15.25Z"), "2024-05-17T08:30:15.250Z");
    for (const char *bad : {"2024-02-30", "2024-5-17", "2024-05-17T24:00", "2024-05-17x", "",
                            "2024-05-17T08:30:15."}) {
        EXPECT_FALSE(TimestampOfDate(bad)) << bad;
    }
}

TEST(RecordReader, PairsLinesMarksInterruptedUnitsAndSkipsWhatIsNotARecord) {
    UnitRecord first = SampleRecord();
    UnitRecord second = SampleRecord();
    second.start.station = "COM4";
    UnitRecord ended = first;
    DownloadOutcome passed;
    passed.status = OutcomeClass::kFinished;
    passed.result = MX40_RESULT_DONE;
    EndUnit(ended, passed, std::chrono::system_clock::time_point{});
    UnitRecord restarted = first;  // the bench started again: COM3 counts from 12 anew
    restarted.start.started = "2024-05-18T00:00:00.000Z";

    std::string unknown_schema = StartLine(second);
    unknown_schema.replace(unknown_schema.find("\"schema\":1"), 10, "\"schema\":9");
    std::string torn = EndLine(ended);
    torn.resize(torn.size() / 2);
    std::istringstream file(StartLine(first) + "\n" + StartLine(second) + "\n" + unknown_schema +
                            "\n" + "not json\n\n" + EndLine(ended) + "\r\n" + StartLine(restarted) +
                            "\n" + torn);

    const RecordReading reading = ReadRecordFile(file);
    ASSERT_EQ(reading.units.size(), 3u);
    EXPECT_EQ(reading.units[0].record, ended);
    EXPECT_EQ(reading.units[0].line, 1u);
    EXPECT_EQ(VerdictOf(reading.units[0].record), UnitVerdict::kPassed);
    EXPECT_EQ(reading.units[1].record, second);
    EXPECT_TRUE(reading.units[1].Interrupted());
    // The torn end line belonged to the restarted unit: it stays interrupted.
    EXPECT_EQ(reading.units[2].record, restarted);
    EXPECT_TRUE(reading.units[2].Interrupted());

    ASSERT_EQ(reading.skipped.size(), 3u);
    EXPECT_EQ(reading.skipped[0].number, 3u);
    EXPECT_EQ(reading.skipped[0].reason, "schema 9 is not known");
    EXPECT_EQ(reading.skipped[1].number, 4u);
    EXPECT_EQ(reading.skipped[2].number, 8u);
    EXPECT_EQ(reading.skipped[2].reason, "last line cut off while it was written");
}

TEST(RecordReader, UnitsOfTwoHostsOnOnePortStayApartAndARemovalMarksItsOwnUnit) {
    UnitRecord mine = SampleRecord();
    UnitRecord theirs = SampleRecord();  // the same station and unit number on another bench
    theirs.constants.host = "bench-3";
    theirs.start.started = "2024-05-17T08:30:16.000Z";
    UnitRecord mine_ended = mine;
    UnitRecord theirs_ended = theirs;
    DownloadOutcome outcome;
    outcome.status = OutcomeClass::kFinished;
    EndUnit(mine_ended, outcome, std::chrono::system_clock::time_point{});
    outcome.status = OutcomeClass::kNoAcknowledgement;
    EndUnit(theirs_ended, outcome, std::chrono::system_clock::time_point{});

    std::istringstream file(StartLine(mine) + "\n" + StartLine(theirs) + "\n" +
                            EndLine(mine_ended) + "\n" + EndLine(theirs_ended) + "\n" +
                            RemovalLine(theirs, "2024-05-17T08:40:00.000Z") + "\n");
    const RecordReading reading = ReadRecordFile(file);
    EXPECT_TRUE(reading.skipped.empty());
    ASSERT_EQ(reading.units.size(), 2u);
    EXPECT_EQ(reading.units[0].record, mine_ended);
    EXPECT_EQ(reading.units[0].removed, std::nullopt);
    EXPECT_EQ(reading.units[1].record, theirs_ended);
    EXPECT_EQ(reading.units[1].removed, "2024-05-17T08:40:00.000Z");
}

// A host and a station may hold any character: the lines of two units pair only when host,
// station and unit number are each the same, however their texts would join.
TEST(RecordReader, UnitsWhoseHostAndStationJoinToTheSameTextStayApart) {
    UnitRecord one = SampleRecord();
    one.constants.host = "a\037COM3";
    one.start.station = "X";
    UnitRecord other = SampleRecord();
    other.constants.host = "a";
    other.start.station = "COM3\037X";
    UnitRecord other_ended = other;
    DownloadOutcome outcome;
    outcome.status = OutcomeClass::kFinished;
    EndUnit(other_ended, outcome, std::chrono::system_clock::time_point{});

    std::istringstream file(StartLine(one) + "\n" + EndLine(other_ended) + "\n" +
                            RemovalLine(one, "2024-05-17T08:40:00.000Z") + "\n");
    const RecordReading reading = ReadRecordFile(file);
    EXPECT_TRUE(reading.skipped.empty());
    ASSERT_EQ(reading.units.size(), 2u);
    EXPECT_EQ(reading.units[0].record, one);
    EXPECT_TRUE(reading.units[0].Interrupted());
    EXPECT_EQ(reading.units[0].removed, "2024-05-17T08:40:00.000Z");
    EXPECT_EQ(reading.units[1].record, other_ended);
    EXPECT_EQ(reading.units[1].line, 2u);
    EXPECT_EQ(reading.units[1].removed, std::nullopt);
}

}  // namespace
}  // namespace dekvanto::core
