#include "dekvanto/firmware_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace dekvanto::image {
namespace {

constexpr uint64_t kMaxFileSize = UINT32_MAX;
constexpr std::size_t kAltIdentifierArea = 8;

uint64_t RoundUpTo4(uint64_t value) {
    return (value + 3) & ~uint64_t{3};
}

void AppendLe32(Bytes &out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

Bytes Le32(uint32_t value) {
    Bytes out;
    AppendLe32(out, value);
    return out;
}

// Copies bytes into image at offset, cut off at the image's end.
void Put(Bytes &image, uint64_t offset, const Bytes &bytes) {
    if (offset >= image.size()) {
        return;
    }
    const auto count =
        static_cast<std::size_t>(std::min<uint64_t>(bytes.size(), image.size() - offset));
    std::copy_n(bytes.begin(), count, image.begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes TagBlockBytes(const CodeImageSpec &layout) {
    Bytes out;
    AppendLe32(out, layout.magic);
    for (const TagRecord &record : layout.records) {
        AppendLe32(out, record.key);
        AppendLe32(out,
                   record.declared_length.value_or(static_cast<uint32_t>(record.value.size())));
        out.insert(out.end(), record.value.begin(), record.value.end());
        out.resize(static_cast<std::size_t>(RoundUpTo4(out.size())), 0);
    }
    if (layout.end_record) {
        AppendLe32(out, kKeyEnd);
        AppendLe32(out, 0);
    }
    return out;
}

Bytes TableBytes(const CodeImageSpec &layout) {
    Bytes out;
    for (const MapEntry &entry : layout.table) {
        out.insert(out.end(), entry.begin(), entry.end());
    }
    if (layout.table_end) {
        out.insert(out.end(), {0, 0, 0});
    }
    return out;
}

uint64_t TableSize(const CodeImageSpec &layout) {
    return 3 * uint64_t{layout.table.size()} + (layout.table_end ? 3 : 0);
}

uint32_t CheckedOffset(uint64_t offset) {
    if (offset > kMaxFileSize) {
        throw std::invalid_argument("code file layout reaches past 4 GiB");
    }
    return static_cast<uint32_t>(offset);
}

// splitmix64: small, fast and the same on every platform.
class FillGenerator {
  public:
    explicit FillGenerator(uint32_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

  private:
    uint64_t state_;
};

std::vector<MapEntry> SampleTable(const MapEntry &wanted) {
    std::vector<MapEntry> table;
    for (uint8_t step = 1; step <= 3; ++step) {
        const MapEntry decoy{wanted[0], wanted[1], static_cast<uint8_t>(wanted[2] + step)};
        if (decoy != MapEntry{0, 0, 0}) {
            table.push_back(decoy);
        }
    }
    // The wanted entry sits among the others, not first, so a scan that stops early fails.
    table.insert(
        table.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(2, table.size())),
        wanted);
    return table;
}

}  // namespace

TagRecord MappingIdRecord(Bytes identifier) {
    return {kKeyMappingId, std::move(identifier), {}};
}

TagRecord MappingTableRecord(uint32_t table_offset) {
    return {kKeyMappingTable, Le32(table_offset), {}};
}

TagRecord AltMappingIdRecord(uint32_t identifier_offset) {
    return {kKeyAltMappingId, Le32(identifier_offset), {}};
}

MapEntry SearchEntryFor(std::array<uint8_t, 2> identifier, std::array<uint8_t, 2> characters) {
    const auto bank = static_cast<uint8_t>((static_cast<uint8_t>(identifier[0] + 3) % 4) << 6);
    return {static_cast<uint8_t>(bank | static_cast<uint8_t>(identifier[1] - '0')),
            static_cast<uint8_t>(characters[0] - '0'), static_cast<uint8_t>(characters[1] - '0')};
}

MapEntry SearchEntryFor(const PersoImageSpec &perso) {
    return SearchEntryFor(perso.identifier, perso.characters);
}

uint64_t TagBlockSize(const CodeImageSpec &layout) {
    uint64_t size = 4;
    for (const TagRecord &record : layout.records) {
        size += 8 + RoundUpTo4(record.value.size());
    }
    return size + (layout.end_record ? 8 : 0);
}

uint64_t LayoutEnd(const CodeImageSpec &layout) {
    uint64_t end = 0;
    if (layout.tag_block_offset) {
        end = std::max({end, uint64_t{kTagOffsetField} + 4,
                        uint64_t{*layout.tag_block_offset} + TagBlockSize(layout)});
    }
    if (layout.table_offset) {
        end = std::max(end, uint64_t{*layout.table_offset} + TableSize(layout));
    }
    for (const Patch &patch : layout.patches) {
        end = std::max(end, uint64_t{patch.offset} + patch.bytes.size());
    }
    return end;
}

CodeImageSpec MakeCodeSpec(const MappedCode &mapped) {
    CodeImageSpec layout;
    layout.size = mapped.size;
    layout.seed = mapped.seed;
    layout.tag_block_offset = mapped.tag_block_offset;
    layout.table = mapped.entries;
    layout.table_end = mapped.table_end;
    if (!mapped.identifier.empty()) {
        layout.records.push_back(MappingIdRecord(mapped.identifier));
    }
    layout.records.push_back(MappingTableRecord(0));
    if (mapped.alt_identifier) {
        layout.records.push_back(AltMappingIdRecord(0));
    }
    // Offsets are 4 bytes each, so the block's size is known before they are.
    const uint64_t block_end = uint64_t{mapped.tag_block_offset} + TagBlockSize(layout);
    const uint32_t table_offset = CheckedOffset(RoundUpTo4(block_end));
    layout.table_offset = table_offset;
    layout.records[mapped.identifier.empty() ? 0 : 1] = MappingTableRecord(table_offset);
    if (mapped.alt_identifier) {
        const uint32_t alt_offset = CheckedOffset(RoundUpTo4(table_offset + TableSize(layout)));
        layout.records.back() = AltMappingIdRecord(alt_offset);
        Bytes area = *mapped.alt_identifier;
        area.resize(std::max<std::size_t>(area.size(), kAltIdentifierArea), 0);
        CheckedOffset(alt_offset + area.size());
        layout.patches.push_back({alt_offset, std::move(area)});
    }
    return layout;
}

Bytes FillBytes(uint32_t size, uint32_t seed) {
    Bytes out(size);
    FillGenerator generator(seed);
    for (std::size_t i = 0; i < out.size(); i += 8) {
        const uint64_t word = generator.Next();
        for (std::size_t k = 0; k < 8 && i + k < out.size(); ++k) {
            out[i + k] = static_cast<uint8_t>(word >> (8 * k));
        }
    }
    return out;
}

Bytes BuildCodeImage(const CodeImageSpec &layout) {
    const uint32_t size = layout.size != 0 ? layout.size : CheckedOffset(LayoutEnd(layout));
    Bytes image = FillBytes(size, layout.seed);
    if (layout.tag_block_offset) {
        Put(image, kTagOffsetField, Le32(*layout.tag_block_offset));
        Put(image, *layout.tag_block_offset, TagBlockBytes(layout));
    }
    if (layout.table_offset) {
        Put(image, *layout.table_offset, TableBytes(layout));
    }
    for (const Patch &patch : layout.patches) {
        Put(image, patch.offset, patch.bytes);
    }
    return image;
}

Bytes BuildPersoImage(const PersoImageSpec &layout) {
    Bytes image = FillBytes(layout.size, layout.seed);
    Put(image, 0, {layout.identifier[0], layout.identifier[1]});
    Put(image, 4, {layout.characters[0], layout.characters[1]});
    return image;
}

Bytes BuildLoaderImage(const LoaderImageSpec &layout) {
    return FillBytes(layout.size, layout.seed);
}

void WriteImage(const std::filesystem::path &path, const Bytes &bytes) {
    const auto fail = [&path](int error) {
        throw std::system_error(error != 0 ? error : EIO, std::generic_category(),
                                "cannot write " + path.string());
    };
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.string().c_str(), "wb"),
                                                          &std::fclose);
    if (file == nullptr) {
        fail(errno);
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        fail(errno);
    }
    if (std::fclose(file.release()) != 0) {
        fail(errno);
    }
}

SampleSetPaths WriteSampleSet(const std::filesystem::path &directory,
                              const SampleSetLayout &layout) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        throw std::system_error(error, "cannot create " + directory.string());
    }
    const PersoImageSpec perso{layout.identifier, layout.characters, layout.perso_size,
                               layout.seed + 2};
    MappedCode mapped;
    mapped.identifier = {layout.identifier[0], layout.identifier[1]};
    mapped.entries = SampleTable(SearchEntryFor(perso));
    mapped.size = layout.code_size;
    mapped.seed = layout.seed + 1;
    CodeImageSpec code = MakeCodeSpec(mapped);
    if (code.size != 0 && code.size < LayoutEnd(code)) {
        code.size = static_cast<uint32_t>(LayoutEnd(code));  // a sample set is always whole
    }

    const SampleSetPaths paths{directory / layout.loader_name, directory / layout.code_name,
                               directory / layout.perso_name};
    WriteImage(paths.loader, BuildLoaderImage({layout.loader_size, layout.seed}));
    WriteImage(paths.code, BuildCodeImage(code));
    WriteImage(paths.perso, BuildPersoImage(perso));
    return paths;
}

}  // namespace dekvanto::image
