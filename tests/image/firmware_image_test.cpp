#include "dekvanto/firmware_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace dekvanto::image {
namespace {

uint32_t Le32At(const Bytes &bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

Bytes Slice(const Bytes &bytes, std::size_t at, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                 bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

// Block at 64: magic 64, record 4 at 68 (8 + 4), record 5 at 80, record 11 at 92, end at 104,
// table at 112 (one entry and the end entry), alternative identifier at 120, file end 128.
TEST(CodeImage, MappedCodeLayout) {
    MappedCode mapped;
    mapped.identifier = {'B', '3', 'x'};
    mapped.alt_identifier = Bytes{'A', '1'};
    mapped.entries = {{0x43, 0x01, 0x02}};
    const Bytes image = BuildCodeImage(MakeCodeSpec(mapped));

    ASSERT_EQ(image.size(), 128u);
    EXPECT_EQ(Le32At(image, 48), 64u);
    EXPECT_EQ(Slice(image, 64, 4), (Bytes{0xDE, 0xF8, 0xC6, 0x1A}));
    EXPECT_EQ(Slice(image, 68, 12), (Bytes{4, 0, 0, 0, 3, 0, 0, 0, 'B', '3', 'x', 0}));
    EXPECT_EQ(Slice(image, 80, 12), (Bytes{5, 0, 0, 0, 4, 0, 0, 0, 112, 0, 0, 0}));
    EXPECT_EQ(Slice(image, 92, 12), (Bytes{11, 0, 0, 0, 4, 0, 0, 0, 120, 0, 0, 0}));
    EXPECT_EQ(Slice(image, 104, 8), Bytes(8, 0));
    EXPECT_EQ(Slice(image, 112, 6), (Bytes{0x43, 0x01, 0x02, 0, 0, 0}));
    EXPECT_EQ(Slice(image, 120, 8), (Bytes{'A', '1', 0, 0, 0, 0, 0, 0}));
}

TEST(CodeImage, ExplicitSizeCutsOrFills) {
    CodeImageSpec layout;
    layout.records = {{7, {1, 2}, 0x1000}};
    layout.size = 300;
    const Bytes long_file = BuildCodeImage(layout);
    ASSERT_EQ(long_file.size(), 300u);
    EXPECT_EQ(Le32At(long_file, 72), 0x1000u);  // the declared length, not the value's
    EXPECT_EQ(Slice(long_file, 0, 48), Slice(FillBytes(300, 1), 0, 48));

    layout.size = 70;
    const Bytes cut = BuildCodeImage(layout);
    EXPECT_EQ(cut, Slice(long_file, 0, 70));
}

TEST(Fill, SameSeedSameBytes) {
    EXPECT_EQ(FillBytes(1001, 5), FillBytes(1001, 5));
    EXPECT_NE(FillBytes(64, 5), FillBytes(64, 6));
    EXPECT_EQ(Slice(FillBytes(1001, 5), 0, 13), FillBytes(13, 5));
}

TEST(PersoImage, HeaderAndSearchEntry) {
    const PersoImageSpec layout{{'B', '3'}, {'1', '2'}, 64, 9};
    const Bytes image = BuildPersoImage(layout);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_EQ(Slice(image, 0, 2), (Bytes{'B', '3'}));
    EXPECT_EQ(Slice(image, 4, 2), (Bytes{'1', '2'}));
    EXPECT_EQ(SearchEntryFor(layout), (MapEntry{0x43, 0x01, 0x02}));
    EXPECT_EQ(BuildPersoImage({{'B', '3'}, {'1', '2'}, 5, 9}), Slice(image, 0, 5));
}

TEST(SampleSet, WritesThreeFilesOfTheGivenSizes) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("image-sample-set-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    SampleSetLayout layout;
    layout.loader_size = 100;
    layout.code_size = 10;  // too small for the layout: grows to hold it
    layout.perso_size = 30;
    const SampleSetPaths paths = WriteSampleSet(dir, layout);
    EXPECT_EQ(std::filesystem::file_size(paths.loader), 100u);
    EXPECT_GT(std::filesystem::file_size(paths.code), 100u);
    EXPECT_EQ(std::filesystem::file_size(paths.perso), 30u);
    std::filesystem::remove_all(dir);
}

TEST(WriteImage, FailureNamesThePath) {
    const auto path = std::filesystem::temp_directory_path() / "no-such-dir" / "x.bin";
    try {
        WriteImage(path, {1});
        FAIL() << "no error";
    } catch (const std::system_error &error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos);
    }
}

}  // namespace
}  // namespace dekvanto::image
