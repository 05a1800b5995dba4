// The tag block of a code file: a magic number followed by tagged records, walked in memory.
//
// Layout (all numbers little-endian):
//   magic    4 bytes   0x1AC6F8DE, stored DE F8 C6 1A
//   record   key (4 bytes) | length (4 bytes) | value (length bytes) | fill (0..3 bytes)
//            the fill rounds the value up to a multiple of 4; the next record follows it
//   ...
//   end      a record key of 0, followed by a length field; nothing after it is read
//
// Keys the mapping check reads:
//   4   mapping identifier, up to 8 bytes
//   5   offset of the mapping table in the code file, 4 bytes
//   11  offset of the alternative 8-byte mapping identifier in the code file, 4 bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dekvanto::engine {

inline constexpr uint32_t kTagBlockMagic = 0x1AC6F8DEu;

inline constexpr uint32_t kTagMappingId = 4;
inline constexpr uint32_t kTagMappingTable = 5;
inline constexpr uint32_t kTagAltMappingId = 11;

// Results of FindTag; the values are the reader's byte results.
enum class TagLookup : uint8_t {
    kFound = 0,    // the value was copied to the destination
    kTooLong = 1,  // the record exists but its value is longer than the capacity; nothing copied
    kNotFound = 4,
};

// The unsigned 32-bit little-endian number in the first four bytes of bytes (at least 4 long).
inline uint32_t LoadLe32(std::span<const uint8_t> bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Looks for the first record with the given key in a tag block held in memory, starting at its
// magic, and copies its value to the start of destination.
//
// - kNotFound when the block does not start with the magic, when the end record comes first
//   (so a wanted key of 0 is never found), or when the block ends before the record, its length
//   field or its whole value. The walk reads nothing outside block and moves on by at least 8
//   bytes per record, so it ends on any content, lengths near 2^32 included.
// - kTooLong when the record's length exceeds the capacity; the destination is left as it was.
// - kFound otherwise: the record's length bytes are copied, the rest of destination is untouched.
//
// The capacity is the low 16 bits of destination.size(): record values are short, and the
// records were designed for a 16-bit capacity. When value_length is given it receives the
// record's length on kFound and kTooLong.
TagLookup FindTag(std::span<const uint8_t> block, uint32_t key, std::span<uint8_t> destination,
                  uint32_t *value_length = nullptr);

}  // namespace dekvanto::engine
