#include "mapcheck/map_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "dekvanto/mx40.h"

namespace dekvanto::engine {
namespace {

namespace fs = std::filesystem;
using namespace dekvanto::image;

// A directory of its own for each test, removed afterwards.
class MapCheckTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto *info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("mapcheck-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string &name, const Bytes &bytes) {
        WriteImage(dir_ / name, bytes);
        return (dir_ / name).string();
    }

    // Runs the check on files and on the same bytes in memory; both must agree.
    int32_t Check(const Bytes &code, const Bytes &perso) {
        MemoryByteSource code_memory(code);
        MemoryByteSource perso_memory(perso);
        const int32_t in_memory = CheckMapSources(code_memory, perso_memory);
        const int32_t on_disk =
            CheckMapCompat(Write("code.bin", code).c_str(), Write("perso.psb", perso).c_str());
        EXPECT_EQ(in_memory, on_disk);
        return on_disk;
    }

    fs::path dir_;
};

Bytes Perso(const char (&id)[3], const char (&chars)[3], uint32_t size = 64) {
    return BuildPersoImage(
        {{uint8_t(id[0]), uint8_t(id[1])}, {uint8_t(chars[0]), uint8_t(chars[1])}, size, 7});
}

Bytes Code(MappedCode mapped) {
    return BuildCodeImage(MakeCodeSpec(mapped));
}

MappedCode Mapped(Bytes id, std::vector<MapEntry> entries) {
    MappedCode mapped;
    mapped.identifier = std::move(id);
    mapped.entries = std::move(entries);
    mapped.size = 4096;
    return mapped;
}

const MapEntry kB3_12{0x43, 0x01, 0x02};

TEST_F(MapCheckTest, IdentifierAndTableEntryMustBothMatch) {
    const Bytes code = Code(Mapped({'B', '3'}, {{0x41, 0x01, 0x02}, kB3_12, {0x43, 0x02, 0x01}}));
    EXPECT_EQ(Check(code, Perso("B3", "12")), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(code, Perso("B3", "13")), MX40_MAP_MISMATCH);
    EXPECT_EQ(Check(code, Perso("B3", "21")), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(Code(Mapped({'B', '4'}, {kB3_12})), Perso("B3", "12")), MX40_MAP_MISMATCH);
}

// The entry is formed on 8-bit values; characters outside the digits wrap around.
TEST_F(MapCheckTest, SearchEntryArithmetic) {
    EXPECT_EQ(Check(Code(Mapped({'D', '9'}, {{0xC9, 9, 9}})), Perso("D9", "99")),
              MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(Code(Mapped({'B', '/'}, {{0xFF, 0xFF, 0x0A}})), Perso("B/", "/:")),
              MX40_MAP_COMPATIBLE);
    // "A0" with "00" asks for 00 00 00, which the end entry itself matches.
    EXPECT_EQ(Check(Code(Mapped({'A', '0'}, {{0x01, 0x02, 0x03}})), Perso("A0", "00")),
              MX40_MAP_COMPATIBLE);
}

TEST_F(MapCheckTest, TableScanRunsToItsEndEntryOnly) {
    std::vector<MapEntry> long_table(700, MapEntry{0x43, 0x09, 0x09});  // spans several reads
    long_table.push_back(kB3_12);
    EXPECT_EQ(Check(Code(Mapped({'B', '3'}, long_table)), Perso("B3", "12")), MX40_MAP_COMPATIBLE);

    CodeImageSpec behind_end = MakeCodeSpec(Mapped({'B', '3'}, {{0x43, 0x09, 0x09}}));
    behind_end.patches.push_back({*behind_end.table_offset + 6, {0x43, 0x01, 0x02}});
    EXPECT_EQ(Check(BuildCodeImage(behind_end), Perso("B3", "12")), MX40_MAP_MISMATCH);
}

// The table is read in chunks of 512 entries: the last entry of a chunk, the first of the next,
// and an entry that ends exactly where the file ends must all be seen.
TEST_F(MapCheckTest, EntriesAtTheEdgesOfAReadAndOfTheFileAreSeen) {
    for (const std::size_t index : {0u, 511u, 512u, 1023u, 1024u}) {
        std::vector<MapEntry> table(index, MapEntry{0x43, 0x09, 0x09});
        table.push_back(kB3_12);
        EXPECT_EQ(Check(Code(Mapped({'B', '3'}, table)), Perso("B3", "12")), MX40_MAP_COMPATIBLE)
            << "entry " << index;
    }
    for (const std::size_t entries : {1u, 512u, 513u}) {
        CodeImageSpec at_end = MakeCodeSpec(
            Mapped({'B', '3'}, std::vector<MapEntry>(entries - 1, MapEntry{0x43, 0x09, 0x09})));
        at_end.table.push_back(kB3_12);
        at_end.table_end = false;
        at_end.size = *at_end.table_offset + static_cast<uint32_t>(3 * entries);
        EXPECT_EQ(Check(BuildCodeImage(at_end), Perso("B3", "12")), MX40_MAP_COMPATIBLE)
            << entries << " entries up to the end of the file";
        at_end.table.back() = {0x43, 0x09, 0x08};
        EXPECT_EQ(Check(BuildCodeImage(at_end), Perso("B3", "12")), MX40_MAP_MISMATCH)
            << entries << " entries, none matching";
    }
}

TEST_F(MapCheckTest, AlternativeIdentifierThroughRecord11) {
    MappedCode only_alt = Mapped({}, {kB3_12});
    only_alt.alt_identifier = Bytes{'B', '3'};
    EXPECT_EQ(Check(Code(only_alt), Perso("B3", "12")), MX40_MAP_COMPATIBLE);

    MappedCode both = Mapped({'C', '1'}, {kB3_12});
    both.alt_identifier = Bytes{'B', '3', 'x', 'y', 'z', 'w', 'v', 'u'};
    EXPECT_EQ(Check(Code(both), Perso("B3", "12")), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(Code(both), Perso("C1", "12")), MX40_MAP_MISMATCH);  // C1 12 not in table
    both.alt_identifier = Bytes{'C', '2'};
    EXPECT_EQ(Check(Code(both), Perso("B3", "12")), MX40_MAP_MISMATCH);
}

// Identifier areas the code file does not fill stay FF FF, and FF FF in the personalization
// file matches them.
TEST_F(MapCheckTest, MissingOrOversizedIdentifierCountsAsFF) {
    const PersoImageSpec ff{{0xFF, 0xFF}, {'1', '2'}, 64, 7};
    const MapEntry ff_entry = SearchEntryFor(ff);
    EXPECT_EQ(Check(Code(Mapped({}, {ff_entry})), BuildPersoImage(ff)), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(Code(Mapped({'B', '3'}, {ff_entry})), BuildPersoImage(ff)),
              MX40_MAP_COMPATIBLE);  // no record 11
    MappedCode both_set = Mapped({'B', '3'}, {ff_entry});
    both_set.alt_identifier = Bytes{'C', '1'};
    EXPECT_EQ(Check(Code(both_set), BuildPersoImage(ff)), MX40_MAP_MISMATCH);

    const Bytes nine{'B', '3', '4', '5', '6', '7', '8', '9', 'A'};
    const Bytes eight(nine.begin(), nine.end() - 1);
    EXPECT_EQ(Check(Code(Mapped(nine, {kB3_12})), Perso("B3", "12")), MX40_MAP_MISMATCH);
    EXPECT_EQ(Check(Code(Mapped(nine, {ff_entry})), BuildPersoImage(ff)), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(Check(Code(Mapped(eight, {kB3_12})), Perso("B3", "12")), MX40_MAP_COMPATIBLE);
}

// Records every path it is asked to open; opens only the paths it was given.
class RecordingOpener final : public ByteSourceOpener {
  public:
    RecordingOpener(Bytes code, Bytes perso) : code_(std::move(code)), perso_(std::move(perso)) {}
    std::unique_ptr<ByteSource> Open(const char *path) override {
        opened.emplace_back(path);
        const Bytes *bytes = opened.back() == "code"    ? &code_
                             : opened.back() == "perso" ? &perso_
                                                        : nullptr;
        return bytes ? std::make_unique<MemoryByteSource>(*bytes) : nullptr;
    }
    std::vector<std::string> opened;

  private:
    Bytes code_;
    Bytes perso_;
};

TEST_F(MapCheckTest, PathsAreCheckedAndOpenedInOrder) {
    RecordingOpener opener(Code(Mapped({'B', '3'}, {kB3_12})), Perso("B3", "12"));
    EXPECT_EQ(CheckMapCompat(nullptr, "perso", opener), MX40_MAP_NO_PATH);
    EXPECT_EQ(CheckMapCompat("code", nullptr, opener), MX40_MAP_NO_PATH);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_EQ(CheckMapCompat("missing", "perso", opener), MX40_MAP_NO_CODE_FILE);
    EXPECT_EQ(opener.opened, std::vector<std::string>{"missing"});
    EXPECT_EQ(CheckMapCompat("code", "missing", opener), MX40_MAP_NO_PERSO_FILE);
    EXPECT_EQ(CheckMapCompat("code", "perso", opener), MX40_MAP_COMPATIBLE);
}

TEST_F(MapCheckTest, FilesThatCannotBeOpened) {
    const std::string code = Write("code.bin", Code(Mapped({'B', '3'}, {kB3_12})));
    const std::string perso = Write("perso.psb", Perso("B3", "12"));
    const std::string missing = (dir_ / "missing").string();
    EXPECT_EQ(CheckMapCompat(missing.c_str(), perso.c_str()), MX40_MAP_NO_CODE_FILE);
    EXPECT_EQ(CheckMapCompat(dir_.string().c_str(), perso.c_str()), MX40_MAP_NO_CODE_FILE);
    EXPECT_EQ(CheckMapCompat(code.c_str(), missing.c_str()), MX40_MAP_NO_PERSO_FILE);
    EXPECT_EQ(CheckMapCompat(code.c_str(), dir_.string().c_str()), MX40_MAP_NO_PERSO_FILE);
}

struct MalformedCase {
    const char *name;
    Bytes code;
    Bytes perso;
    int32_t expected;
};

CodeImageSpec Good() {
    return MakeCodeSpec(Mapped({'B', '3'}, {kB3_12}));
}

// The good file with the tag records replaced and the table moved out of their way.
constexpr uint32_t kFarTable = 3000;
Bytes WithRecords(std::vector<TagRecord> records) {
    CodeImageSpec layout = Good();
    layout.records = std::move(records);
    layout.table_offset = kFarTable;
    return BuildCodeImage(layout);
}

std::vector<MalformedCase> MalformedCases() {
    const Bytes perso = Perso("B3", "12");
    const uint32_t table = *Good().table_offset;
    const auto id = MappingIdRecord({'B', '3'});
    const auto with = [](CodeImageSpec layout, auto change) {
        change(layout);
        return BuildCodeImage(layout);
    };
    // Offset values of 2 and 8 bytes that would reach the table if read as numbers.
    const auto record5 = [&](Bytes value) { return WithRecords({id, {5, std::move(value), {}}}); };
    const auto filler = [&](uint32_t size) {
        return WithRecords({id, {7, Bytes(size, 1), {}}, MappingTableRecord(kFarTable)});
    };
    const auto lying = [&](uint32_t length) {
        return WithRecords({id, {7, Bytes(8, 1), length}, MappingTableRecord(kFarTable)});
    };
    // Identifier B3 at offset 200, reached by a record 11 whose value is 2 bytes long.
    CodeImageSpec short_alt = Good();
    short_alt.records = {MappingTableRecord(kFarTable), {11, {200, 0}, {}}};
    short_alt.table_offset = kFarTable;
    short_alt.patches.push_back({200, {'B', '3'}});
    // Record 4 is B3, record 11 points past the end: FF FF still matches the second area.
    const PersoImageSpec ff{{0xFF, 0xFF}, {'1', '2'}, 6, 1};
    MappedCode alt_past_end = Mapped({'B', '3'}, {SearchEntryFor(ff)});
    alt_past_end.alt_identifier = Bytes{'B', '3'};
    CodeImageSpec alt_past = MakeCodeSpec(alt_past_end);
    alt_past.records.back() = AltMappingIdRecord(0xFFFFFF00);

    return {
        {"empty code file", {}, perso, MX40_MAP_NOT_FOUND},
        {"code file of 51 bytes", with(Good(), [](auto &s) { s.size = 51; }), perso, 15},
        {"tag block past the end",
         with(Good(),
              [](auto &s) {
                  s.size = 4096;
                  s.tag_block_offset = 5000;
              }),
         perso, 15},
        {"tag block at 2^32-1",
         with(Good(),
              [](auto &s) {
                  s.size = 4096;
                  s.tag_block_offset = 0xFFFFFFFF;
              }),
         perso, 15},
        {"tag block cut in record 5", with(Good(), [](auto &s) { s.size = 64 + 4 + 12 + 8 + 2; }),
         perso, 15},
        {"wrong magic", with(Good(), [](auto &s) { s.magic = 0x1AC6F8DF; }), perso, 15},
        {"no record 5", WithRecords({id}), perso, 15},
        {"record 5 of 2 bytes", record5({0xB8, 0x0B}), perso, 15},
        {"record 5 of 8 bytes", record5({0xB8, 0x0B, 0, 0, 0, 0, 0, 0}), perso, 15},
        {"record 5 empty", record5({}), perso, 15},
        {"record 5 within the 1000-byte window", filler(900), perso, 10},
        {"record 5 behind the 1000-byte window", filler(1000), perso, 15},
        {"length past the window", lying(2000), perso, 15},
        {"length 0xFFFFFFF8", lying(0xFFFFFFF8), perso, 15},
        {"length 0xFFFFFFFD", lying(0xFFFFFFFD), perso, 15},
        {"table offset past the end", record5({0xFF, 0xFF, 0, 0}), perso, 15},
        {"table offset at the end", with(Good(), [&](auto &s) { s.size = table; }), perso, 15},
        {"table without end entry, no match",
         with(Good(),
              [&](auto &s) {
                  s.table = {{1, 2, 3}};
                  s.table_end = false;
                  s.size = table + 3;
              }),
         perso, 11},
        {"table ends inside the matching entry", with(Good(), [&](auto &s) { s.size = table + 2; }),
         perso, 11},
        {"table without end entry, match", with(Good(), [](auto &s) { s.table_end = false; }),
         perso, 10},
        // The table holds the entry that a missing sixth byte of 0 would give.
        {"perso of 5 bytes",
         with(Good(),
              [](auto &s) {
                  s.table = {{0x43, 0x01, 0xD0}};
              }),
         Perso("B3", "12", 5), 11},
        {"empty perso, no record 5", WithRecords({id}), {}, 15},
        {"record 11 of 2 bytes is ignored", BuildCodeImage(short_alt), perso, 11},
        {"record 11 past the end leaves FF", BuildCodeImage(alt_past), BuildPersoImage(ff), 10},
    };
}

TEST_F(MapCheckTest, MalformedFilesEndWithoutReadingPastThem) {
    for (const MalformedCase &c : MalformedCases()) {
        EXPECT_EQ(Check(c.code, c.perso), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace dekvanto::engine
