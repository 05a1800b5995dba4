#include "mapcheck/tag_walker.h"

#include <gtest/gtest.h>

#include <vector>

namespace dekvanto::engine {
namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
    uint32_t key;
    uint32_t length;
    Bytes value;
};

void AppendLe32(Bytes &out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// Magic, then each record with its value padded to a multiple of 4.
Bytes Block(const std::vector<Record> &records) {
    Bytes out;
    AppendLe32(out, kTagBlockMagic);
    for (const Record &record : records) {
        AppendLe32(out, record.key);
        AppendLe32(out, record.length);
        out.insert(out.end(), record.value.begin(), record.value.end());
        out.resize((out.size() + 3) & ~std::size_t{3}, 0);
    }
    return out;
}

TEST(FindTag, CopiesFirstMatchingValueBehindPaddedRecords) {
    const Bytes block = Block({{7, 5, {'A', 'B', 'C', 'D', 'E'}},
                               {4, 2, {'B', '3'}},
                               {4, 2, {'X', 'X'}},
                               {5, 4, {0x10, 0x20, 0x30, 0x40}},
                               {0, 0, {}}});
    Bytes id(8, 0xFF);
    uint32_t length = 0;
    EXPECT_EQ(FindTag(block, 4, id, &length), TagLookup::kFound);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(id, (Bytes{'B', '3', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    Bytes offset(4, 0);
    ASSERT_EQ(FindTag(block, 5, offset), TagLookup::kFound);
    EXPECT_EQ(LoadLe32(offset), 0x40302010u);
}

TEST(FindTag, ValueLongerThanCapacityIsNotCopied) {
    const Bytes block = Block({{4, 9, Bytes(9, 'Z')}, {0, 0, {}}});
    Bytes eight(8, 0xFF);
    EXPECT_EQ(FindTag(block, 4, eight), TagLookup::kTooLong);
    EXPECT_EQ(eight, Bytes(8, 0xFF));
    Bytes nine(9, 0xFF);
    EXPECT_EQ(FindTag(block, 4, nine), TagLookup::kFound);
}

TEST(FindTag, MagicAndEndRecordBoundTheWalk) {
    Bytes value(4);
    Bytes wrong_magic = Block({{5, 4, Bytes(4, 1)}});
    wrong_magic[0] ^= 1;
    EXPECT_EQ(FindTag(wrong_magic, 5, value), TagLookup::kNotFound);
    EXPECT_EQ(FindTag({}, 5, value), TagLookup::kNotFound);

    const Bytes block = Block({{6, 4, Bytes(4, 1)}, {0, 0, {}}, {5, 4, Bytes(4, 2)}});
    EXPECT_EQ(FindTag(block, 5, value), TagLookup::kNotFound);  // behind the end record
    EXPECT_EQ(FindTag(block, 0, value), TagLookup::kNotFound);
    EXPECT_EQ(FindTag(Block({{6, 4, Bytes(4, 1)}}), 5, value), TagLookup::kNotFound);  // no end
}

// Every cut of a good block: the record counts only when its whole value lies in the window.
// Each cut is a vector of its own size, so a read past it shows under AddressSanitizer.
TEST(FindTag, NeverReadsPastTheWindow) {
    const Bytes block = Block({{7, 3, {1, 2, 3}}, {5, 4, {9, 8, 7, 6}}, {0, 0, {}}});
    const std::size_t value_end = 4 + 12 + 8 + 4;
    for (std::size_t size = 0; size <= block.size(); ++size) {
        const Bytes window(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
        Bytes value(4);
        const TagLookup expected = size >= value_end ? TagLookup::kFound : TagLookup::kNotFound;
        EXPECT_EQ(FindTag(window, 5, value), expected) << "window of " << size << " bytes";
    }
}

// Lengths near 2^32 wrap around in 32-bit arithmetic: 0xFFFFFFF8 would step back onto the same
// record forever, 0xFFFFFFFD would step into the value and find the record hidden there.
TEST(FindTag, LengthsNearTwoToThe32DoNotWrapAround) {
    for (const uint32_t length : {0xFFFFFFF8u, 0xFFFFFFFCu, 0xFFFFFFFDu, 0xFFFFFFFFu}) {
        Bytes block = Block({{7, length, {}}});
        const Bytes hidden = Block({{5, 4, {1, 2, 3, 4}}, {0, 0, {}}});
        block.insert(block.end(), hidden.begin() + 4, hidden.end());
        Bytes value(4);
        EXPECT_EQ(FindTag(block, 5, value), TagLookup::kNotFound) << std::hex << length;
    }
}

}  // namespace
}  // namespace dekvanto::engine
