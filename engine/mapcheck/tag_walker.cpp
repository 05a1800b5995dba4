#include "mapcheck/tag_walker.h"

#include <algorithm>

namespace dekvanto::engine {
namespace {

constexpr std::size_t kMagicSize = 4;
constexpr std::size_t kRecordHeaderSize = 8;  // key and length

uint64_t RoundUpTo4(uint64_t length) {
    return (length + 3) & ~uint64_t{3};
}

TagLookup CopyValue(std::span<const uint8_t> rest, uint32_t length, std::span<uint8_t> destination,
                    uint32_t *value_length) {
    if (value_length != nullptr) {
        *value_length = length;
    }
    const std::size_t capacity = destination.size() & 0xFFFFu;
    if (length > capacity) {
        return TagLookup::kTooLong;
    }
    if (length > rest.size()) {
        return TagLookup::kNotFound;  // the value runs past the bytes that were read
    }
    std::copy_n(rest.begin(), length, destination.begin());
    return TagLookup::kFound;
}

}  // namespace

TagLookup FindTag(std::span<const uint8_t> block, uint32_t key, std::span<uint8_t> destination,
                  uint32_t *value_length) {
    if (block.size() < kMagicSize || LoadLe32(block) != kTagBlockMagic) {
        return TagLookup::kNotFound;
    }
    std::size_t at = kMagicSize;
    while (block.size() - at >= kRecordHeaderSize) {
        const auto record = block.subspan(at);
        const uint32_t record_key = LoadLe32(record);
        if (record_key == 0) {
            return TagLookup::kNotFound;
        }
        const uint32_t length = LoadLe32(record.subspan(4));
        if (record_key == key) {
            return CopyValue(record.subspan(kRecordHeaderSize), length, destination, value_length);
        }
        // 64-bit sum: a length near 2^32 must not wrap around onto an earlier position.
        const uint64_t next = uint64_t{at} + kRecordHeaderSize + RoundUpTo4(length);
        if (next > block.size()) {
            return TagLookup::kNotFound;
        }
        at = static_cast<std::size_t>(next);
    }
    return TagLookup::kNotFound;
}

}  // namespace dekvanto::engine
