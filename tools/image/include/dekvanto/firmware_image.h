// Synthetic firmware files for tests, the phone simulator and the demo: code files with a tag
// block and a mapping table, personalization files with a chosen header, loader files of a chosen
// size. The layouts are described in docs/firmware-files.md.
//
// Everything the files hold besides their structures is a deterministic pseudo-random fill drawn
// from a seed, so the same layout always gives the same bytes.
//
// Typical use:
//   PersoImageSpec perso;                                  // identifier "B3", characters "12"
//   MappedCode mapped;                                     // identifier "B3" in record 4
//   mapped.entries = {SearchEntryFor(perso)};              // the table maps that personalization
//   WriteImage("code.bin", BuildCodeImage(MakeCodeSpec(mapped)));
//   WriteImage("perso.psb", BuildPersoImage(perso));
// or, for a loader, code and personalization file that agree with each other:
//   WriteSampleSet(directory, SampleSetLayout{});
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dekvanto::image {

using Bytes = std::vector<uint8_t>;
using MapEntry = std::array<uint8_t, 3>;

// Where the code file keeps the offset of its tag block, and the block's magic number.
inline constexpr uint32_t kTagOffsetField = 48;
inline constexpr uint32_t kTagBlockMagic = 0x1AC6F8DEu;

// Record keys of the tag block.
inline constexpr uint32_t kKeyEnd = 0;
inline constexpr uint32_t kKeyMappingId = 4;
inline constexpr uint32_t kKeyMappingTable = 5;
inline constexpr uint32_t kKeyAltMappingId = 11;

// One record of the tag block: key, 4-byte length, value, zero fill up to a multiple of 4.
struct TagRecord {
    uint32_t key = 0;
    Bytes value;
    // The length field when it must differ from value.size(), to build broken blocks; the value
    // bytes (and their fill) are written as given either way.
    std::optional<uint32_t> declared_length;
};

// Bytes written at a fixed offset, after every other part.
struct Patch {
    uint32_t offset = 0;
    Bytes bytes;
};

// A code file, piece by piece. The pieces are written in this order onto the fill: the tag block
// offset at byte 48, the tag block, the mapping table, the patches; a later part overwrites an
// earlier one where they overlap.
struct CodeImageSpec {
    // File length. 0: just long enough for every part. Otherwise exactly this long; parts that
    // reach past the end are cut off there (to build short or truncated files on purpose).
    uint32_t size = 0;
    uint32_t seed = 1;
    // Offset of the tag block, written at byte 48. None: bytes 48-51 and the block are left out.
    std::optional<uint32_t> tag_block_offset = 64;
    uint32_t magic = kTagBlockMagic;
    std::vector<TagRecord> records;  // after the magic, in this order
    bool end_record = true;          // key 0 and length 0 after the records
    // Offset of the mapping table. None: no table is written.
    std::optional<uint32_t> table_offset;
    std::vector<MapEntry> table;
    bool table_end = true;  // the end entry 00 00 00 after the entries
    std::vector<Patch> patches;
};

// A well-formed code file described by what it maps; MakeCodeSpec lays it out.
struct MappedCode {
    Bytes identifier = {'B', '3'};  // record 4; empty: no record 4
    // Record 11 and the 8-byte area it points to, the given bytes padded with 00 to 8 bytes.
    // None: no record 11.
    std::optional<Bytes> alt_identifier;
    std::vector<MapEntry> entries;  // the mapping table, in this order
    bool table_end = true;
    uint32_t tag_block_offset = 64;
    uint32_t size = 0;  // as in CodeImageSpec; a larger size adds fill after the parts
    uint32_t seed = 1;
};

// A personalization file: identifier in bytes 0-1, characters in bytes 4-5, fill elsewhere.
struct PersoImageSpec {
    std::array<uint8_t, 2> identifier = {'B', '3'};
    std::array<uint8_t, 2> characters = {'1', '2'};
    uint32_t size = 64;  // may be below 6: the header is then cut off
    uint32_t seed = 1;
};

// A loader file: fill only.
struct LoaderImageSpec {
    uint32_t size = 2048;
    uint32_t seed = 1;
};

// A loader, code and personalization file that agree under the mapping check.
struct SampleSetLayout {
    std::array<uint8_t, 2> identifier = {'B', '3'};
    std::array<uint8_t, 2> characters = {'1', '2'};
    uint32_t loader_size = 2048;
    uint32_t code_size = 64 * 1024;
    uint32_t perso_size = 1024;
    uint32_t seed = 1;
    std::string loader_name = "loader.bin";
    std::string code_name = "code.bin";
    std::string perso_name = "perso.psb";
};

struct SampleSetPaths {
    std::filesystem::path loader;
    std::filesystem::path code;
    std::filesystem::path perso;
};

// The usual records.
TagRecord MappingIdRecord(Bytes identifier);
TagRecord MappingTableRecord(uint32_t table_offset);
TagRecord AltMappingIdRecord(uint32_t identifier_offset);

// The mapping table entry that a personalization header asks for (8-bit arithmetic):
// ((p0 + 3) mod 4) << 6 | (p1 - '0'),  p4 - '0',  p5 - '0'.
MapEntry SearchEntryFor(std::array<uint8_t, 2> identifier, std::array<uint8_t, 2> characters);
MapEntry SearchEntryFor(const PersoImageSpec &perso);

// Lays a MappedCode out: the tag block at tag_block_offset with records 4, 5 and 11 as given,
// the table behind the block, the alternative identifier behind the table, each on a multiple
// of 4. Throws std::invalid_argument when the layout does not fit below 4 GiB.
CodeImageSpec MakeCodeSpec(const MappedCode &mapped);

// Byte length of the tag block (magic, records, end record) and of the whole layout.
uint64_t TagBlockSize(const CodeImageSpec &layout);
uint64_t LayoutEnd(const CodeImageSpec &layout);

// The file contents. BuildCodeImage throws std::invalid_argument when size is 0 and the
// layout reaches past 4 GiB.
Bytes BuildCodeImage(const CodeImageSpec &layout);
Bytes BuildPersoImage(const PersoImageSpec &layout);
Bytes BuildLoaderImage(const LoaderImageSpec &layout);

// The pseudo-random fill: size bytes from seed.
Bytes FillBytes(uint32_t size, uint32_t seed);

// Writes bytes to path, replacing the file. Throws std::system_error naming the path on failure.
void WriteImage(const std::filesystem::path &path, const Bytes &bytes);

// Creates directory if needed and writes the three files of a sample set into it. The code file
// maps the personalization header among a few other entries and carries its identifier in
// record 4. Throws like WriteImage.
SampleSetPaths WriteSampleSet(const std::filesystem::path &directory,
                              const SampleSetLayout &layout);

}  // namespace dekvanto::image
