#include "mapcheck/map_check.h"

#include <algorithm>
#include <array>
#include <optional>

#include "dekvanto/mx40.h"
#include "mapcheck/tag_walker.h"

namespace dekvanto::engine {
namespace {

constexpr uint64_t kTagOffsetField = 48;
constexpr std::size_t kTagWindowSize = 1000;
constexpr std::size_t kTableChunkEntries = 512;

using IdentifierArea = std::array<uint8_t, 8>;
using MapEntry = std::array<uint8_t, 3>;

struct PersoHeader {
    bool complete = false;  // all six header bytes could be read
    std::array<uint8_t, 6> bytes{};
};

PersoHeader ReadPersoHeader(ByteSource &perso) {
    PersoHeader header;
    header.complete = perso.ReadAt(0, header.bytes) == header.bytes.size();
    return header;
}

MapEntry MakeSearchEntry(const PersoHeader &header) {
    const auto &p = header.bytes;
    const auto bank = static_cast<uint8_t>((static_cast<uint8_t>(p[0] + 3) % 4) << 6);
    return {static_cast<uint8_t>(bank | static_cast<uint8_t>(p[1] - 0x30)),
            static_cast<uint8_t>(p[4] - 0x30), static_cast<uint8_t>(p[5] - 0x30)};
}

std::optional<uint32_t> ReadLe32At(ByteSource &source, uint64_t offset) {
    std::array<uint8_t, 4> bytes{};
    if (source.ReadAt(offset, bytes) != bytes.size()) {
        return std::nullopt;
    }
    return LoadLe32(bytes);
}

// The tag block window: up to 1000 bytes from the offset at byte 48; empty when the code file
// is too short to hold that offset or the offset lies past its end.
struct TagWindow {
    std::array<uint8_t, kTagWindowSize> bytes{};
    std::size_t size = 0;
    std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

void ReadTagWindow(ByteSource &code, TagWindow &window) {
    const auto block_offset = ReadLe32At(code, kTagOffsetField);
    window.size = block_offset ? code.ReadAt(*block_offset, window.bytes) : 0;
}

// A 4-byte offset held by a record; none unless the record is there with exactly 4 bytes.
std::optional<uint32_t> FindOffsetTag(std::span<const uint8_t> block, uint32_t key) {
    std::array<uint8_t, 4> value{};
    uint32_t length = 0;
    if (FindTag(block, key, value, &length) != TagLookup::kFound || length != value.size()) {
        return std::nullopt;
    }
    return LoadLe32(value);
}

// Whatever part of the 8 bytes at offset the code file holds; the rest stays 0xFF.
void ReadAltIdentifier(ByteSource &code, uint32_t offset, IdentifierArea &area) {
    IdentifierArea read{};
    const std::size_t count = std::min(code.ReadAt(offset, read), area.size());
    std::copy_n(read.begin(), count, area.begin());
}

bool IdentifierMatches(const PersoHeader &header, const IdentifierArea &first,
                       const IdentifierArea &second) {
    const auto &p = header.bytes;
    const auto starts_with_perso_id = [&p](const IdentifierArea &area) {
        return area[0] == p[0] && area[1] == p[1];
    };
    return header.complete && (starts_with_perso_id(first) || starts_with_perso_id(second));
}

// Reads the table in chunks of whole entries until the search entry (10), the end entry (11)
// or the end of the file (11). A table offset at or past the end of the file is unusable (15).
int32_t ScanTable(ByteSource &code, uint32_t table_offset, const MapEntry &wanted) {
    constexpr MapEntry kEndEntry{0, 0, 0};
    std::array<uint8_t, kTableChunkEntries * 3> chunk{};
    uint64_t at = table_offset;
    for (bool first_chunk = true;; first_chunk = false) {
        const std::size_t count = code.ReadAt(at, chunk);
        if (first_chunk && count == 0) {
            return MX40_MAP_NOT_FOUND;
        }
        for (std::size_t i = 0; i + 3 <= count; i += 3) {
            const MapEntry entry{chunk[i], chunk[i + 1], chunk[i + 2]};
            if (entry == wanted) {
                return MX40_MAP_COMPATIBLE;
            }
            if (entry == kEndEntry) {
                return MX40_MAP_MISMATCH;
            }
        }
        if (count < chunk.size()) {
            return MX40_MAP_MISMATCH;  // the file ended before the end entry
        }
        at += count;
    }
}

}  // namespace

int32_t CheckMapSources(ByteSource &code, ByteSource &perso) {
    IdentifierArea first_id;
    IdentifierArea second_id;
    first_id.fill(0xFF);
    second_id.fill(0xFF);

    const PersoHeader header = ReadPersoHeader(perso);
    const MapEntry wanted = MakeSearchEntry(header);

    std::optional<uint32_t> table_offset;
    {
        TagWindow window;
        ReadTagWindow(code, window);
        table_offset = FindOffsetTag(window.view(), kTagMappingTable);
        if (!table_offset) {
            return MX40_MAP_NOT_FOUND;
        }
        FindTag(window.view(), kTagMappingId, first_id);  // absent or too long: stays 0xFF
        if (const auto alt_offset = FindOffsetTag(window.view(), kTagAltMappingId)) {
            ReadAltIdentifier(code, *alt_offset, second_id);
        }
    }

    if (!IdentifierMatches(header, first_id, second_id)) {
        return MX40_MAP_MISMATCH;
    }
    return ScanTable(code, *table_offset, wanted);
}

int32_t CheckMapCompat(const char *code_path, const char *perso_path, ByteSourceOpener &opener) {
    if (code_path == nullptr || perso_path == nullptr) {
        return MX40_MAP_NO_PATH;
    }
    const auto code = opener.Open(code_path);
    if (code == nullptr) {
        return MX40_MAP_NO_CODE_FILE;
    }
    const auto perso = opener.Open(perso_path);
    if (perso == nullptr) {
        return MX40_MAP_NO_PERSO_FILE;
    }
    return CheckMapSources(*code, *perso);
}

int32_t CheckMapCompat(const char *code_path, const char *perso_path) {
    return CheckMapCompat(code_path, perso_path, SystemFileOpener());
}

}  // namespace dekvanto::engine
