#include "core/products/version_file.h"

#include <gtest/gtest.h>

#include <string>

#include "core/products/archive_string.h"
#include "core/window/version_caption.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

std::string Archived(std::string_view text) {
    std::string bytes;
    AppendArchiveString(bytes, text);
    return bytes;
}

std::optional<std::string> ReadAll(const std::string &bytes, std::size_t *left = nullptr) {
    std::string_view view(bytes);
    std::optional<std::string> text = ReadArchiveString(view);
    if (left != nullptr) {
        *left = view.size();
    }
    return text;
}

TEST(ArchiveString, EachLengthPrefixReadsItsStringAndNoMore) {
    std::size_t left = 0;
    EXPECT_EQ(ReadAll(Archived("A-000-12-07") + "next", &left), "A-000-12-07");
    EXPECT_EQ(left, 4u);
    EXPECT_EQ(ReadAll(std::string("\0", 1)), "");
    const std::string long_text(300, 'v');
    EXPECT_EQ(ReadAll(Archived(long_text)), long_text);
    EXPECT_EQ(ReadAll(std::string("\xFF\x05\x00", 3) + "short"), "short");
    const std::string huge_text(70000, 'h');
    EXPECT_EQ(ReadAll(Archived(huge_text) + "x", &left), huge_text);
    EXPECT_EQ(left, 1u);
}

// The lengths where the prefix changes: 0xFFFE and 0xFFFF as 16-bit lengths would be read as the
// markers of 16-bit characters and of a 32-bit length.
TEST(ArchiveString, WriterTakesTheShortestPrefixThatReadsBack) {
    const std::pair<std::size_t, std::string> cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {0xFFFD, "\xFF\xFD\xFF"},
        {0xFFFE, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {0xFFFF, std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7)},
    };
    for (const auto &[length, prefix] : cases) {
        const std::string text(length, 'v');
        const std::string bytes = Archived(text);
        EXPECT_EQ(bytes.substr(0, prefix.size()), prefix) << length;
        EXPECT_EQ(bytes.size(), prefix.size() + length) << length;
        EXPECT_EQ(ReadAll(bytes), text) << length;
    }
}

TEST(ArchiveString, SixteenBitCharactersBecomeUtf8) {
    // "hié" with a one-byte character count.
    EXPECT_EQ(ReadAll(std::string("\xFF\xFE\xFF\x03h\0i\0\xE9\0", 10)), "hi\xC3\xA9");
    // A surrogate pair and a lone surrogate, with a 16-bit character count.
    EXPECT_EQ(ReadAll(std::string("\xFF\xFE\xFF\xFF\x03\x00\x3D\xD8\x00\xDE\x00\xD8", 12)),
              "\xF0\x9F\x98\x80?");
}

TEST(ArchiveString, TruncatedOrInvalidPrefixesAreErrors) {
    const std::string cases[] = {
        std::string(""),
        std::string("\x05"
                    "abcd"),
        std::string("\xFF", 1),
        std::string("\xFF\x2C", 2),
        std::string("\xFF\x2C\x01", 3) + std::string(299, 'x'),
        std::string("\xFF\xFF\xFF\x10\x00\x00", 6),
        std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7) + "few bytes",
        std::string("\xFF\xFE\xFF", 3),
        std::string("\xFF\xFE\xFF\x02h\0i", 7),
        std::string("\xFF\xFE\xFF\xFF\xFE\xFF\x01h\0", 9),
    };
    for (const std::string &bytes : cases) {
        EXPECT_EQ(ReadAll(bytes), std::nullopt) << testing::PrintToString(bytes);
    }
}

TEST(VersionDocument, FilesOfUpToTwoBytesLoadAsThreeEmptyStrings) {
    for (const std::string &bytes : {std::string(), std::string("\x05"), std::string("\x09x")}) {
        VersionDocument document;
        EXPECT_EQ(document.LoadBytes(bytes), VersionLoad::kLoaded);
        EXPECT_EQ(document.VersionText(), "");
    }
}

TEST(VersionDocument, ThreeStringsLoadWholeAndTrailingBytesAreIgnored) {
    const std::string version(300, '7');
    VersionDocument document;
    EXPECT_EQ(document.LoadBytes(VersionFileBytes(version, "", "") + "tail"), VersionLoad::kLoaded);
    EXPECT_EQ(document.VersionText(), version);
    EXPECT_EQ(document.LoadBytes(VersionFileBytes("A-000-12-07", "two", "three")),
              VersionLoad::kLoaded);
    EXPECT_EQ(document.SecondText(), "two");
    EXPECT_EQ(document.ThirdText(), "three");
}

TEST(VersionDocument, FileEndingInsideAStringIsMalformedAndKeepsNothing) {
    const std::string whole = VersionFileBytes("A-000-12-07", "two", "three");
    VersionDocument document;
    for (std::size_t size = 3; size < whole.size(); ++size) {
        EXPECT_EQ(document.LoadBytes(whole.substr(0, size)), VersionLoad::kMalformed) << size;
        EXPECT_EQ(document.VersionText(), "") << size;
    }
}

TEST(VersionDocument, FoundInTheProgramDirectoryWithOrWithoutSeparator) {
    TempFolder folder;
    VersionDocument document;
    EXPECT_EQ(document.FindAndLoad(folder.Path().string()), VersionLoad::kNotLoaded);
    EXPECT_EQ(document.FindAndLoad(""), VersionLoad::kNotLoaded);

    folder.Write("DEKVANTO.VRS", VersionFileBytes("A-000-12-07", "", ""));
    EXPECT_EQ(document.FindAndLoad(folder.Path().string()), VersionLoad::kLoaded);
    EXPECT_EQ(document.VersionText(), "A-000-12-07");
    EXPECT_EQ(document.FindAndLoad(folder.Path().string() + "/"), VersionLoad::kLoaded);
    EXPECT_EQ(document.VersionText(), "A-000-12-07");
}

TEST(VersionDocument, FileNameIsFoundInAnyLetterCase) {
    TempFolder folder;
    folder.Write("Dekvanto.vrs", VersionFileBytes("B-000-31-01", "", ""));
    VersionDocument document;
    EXPECT_EQ(document.FindAndLoad(folder.Path().string()), VersionLoad::kLoaded);
    EXPECT_EQ(document.VersionText(), "B-000-31-01");
}

TEST(VersionCaption, ReleaseNumberAndTheMarkOfANonRegularCode) {
    EXPECT_EQ(CaptionWithRelease("DEK VANTO", "A-000-12-07"), "DEK VANTO  1.2");
    EXPECT_EQ(CaptionWithRelease("DEK VANTO", "A-B07-12-07"), "DEK VANTO  1.2 X");
    EXPECT_EQ(CaptionWithRelease("DEK VANTO", "A-00 0-12-07"), "DEK VANTO");
    EXPECT_EQ(CaptionWithRelease("DEK VANTO", " A- 000-\t34-5 and more"), "DEK VANTO  3.4");
}

TEST(VersionCaption, TextsThatDoNotMatchThePatternLeaveTheCaption) {
    for (const char *text : {"", "A-000-12", "A-000-12-", "A-00-12-07", "A-000-1-07",
                             "AB-000-12-07", "A-0000-12-07", "A_000_12_07"}) {
        EXPECT_EQ(CaptionWithRelease("DEK VANTO", text), "DEK VANTO") << text;
    }
}

TEST(VersionCaption, WindowTitleAndAboutTextFromTheFile) {
    TempFolder folder;
    const std::string dir = folder.Path().string();
    EXPECT_EQ(WindowTitle("DEK VANTO", dir), "DEK VANTO");
    EXPECT_EQ(AboutVersionText(dir), "");

    folder.Write("DEKVANTO.VRS", Archived("A-C01-20-01") + Archived("x"));  // no third string
    EXPECT_EQ(WindowTitle("DEK VANTO", dir), "DEK VANTO");
    EXPECT_EQ(AboutVersionText(dir), "");

    folder.Write("DEKVANTO.VRS", VersionFileBytes("A-C01-20-01", "x", "y"));
    EXPECT_EQ(WindowTitle("DEK VANTO", dir), "DEK VANTO  2.0 X");
    EXPECT_EQ(AboutVersionText(dir), "A-C01-20-01");
}

}  // namespace
}  // namespace dekvanto::core
