#include "core/settings/ini_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace dekvanto::core {
namespace {

std::optional<std::string> Find(const std::string &text, const char *section, const char *key) {
    return FindIniValue(text, section, key);
}

TEST(IniTextRead, LinesEndAtCrLfOrCrlfAndTheLastLineNeedsNoEnd) {
    const std::string text = "[Setting]\rCOM=COM3\r\nSpeed=2\n[Debug]\n\rPause=1";
    EXPECT_EQ(Find(text, "Setting", "COM"), "COM3");
    EXPECT_EQ(Find(text, "Setting", "Speed"), "2");
    EXPECT_EQ(Find(text, "Debug", "Pause"), "1");
    EXPECT_EQ(Find(text, "Setting", "Pause"), std::nullopt);
}

TEST(IniTextRead, NamesAreTrimmedAndMatchInAnyCaseAndTheFirstEqualsSplits) {
    const std::string text = " \t[ setTING ]  trailing words\r\n\t sPeEd \t=  a = b \t\r\n";
    EXPECT_EQ(Find(text, "Setting", "Speed"), "a = b");
    EXPECT_EQ(Find(text, "SETTING", "SPEED"), "a = b");
    EXPECT_EQ(Find(text, "Settings", "Speed"), std::nullopt);
}

TEST(IniTextRead, SectionWithoutClosingBracketRunsToTheEndOfTheLine) {
    EXPECT_EQ(Find("[Setting\nCOM=COM2\n", "Setting", "COM"), "COM2");
}

TEST(IniTextRead, SemicolonLinesAreCommentsButHashIsAnOrdinaryCharacter) {
    const std::string text =
        "[Setting]\n;COM=COM9\n#Speed=3\nParity=1 ; not a comment\n  ; Speed=4\n";
    EXPECT_EQ(Find(text, "Setting", "COM"), std::nullopt);
    EXPECT_EQ(Find(text, "Setting", "#Speed"), "3");
    EXPECT_EQ(Find(text, "Setting", "Speed"), std::nullopt);
    EXPECT_EQ(Find(text, "Setting", "Parity"), "1 ; not a comment");
}

TEST(IniTextRead, OnlyTheFirstSectionOfANameAndTheFirstKeyInItCount) {
    const std::string text =
        "COM=COM0\n[Setting]\nCOM=COM1\nnoise without equals\ncom=COM2\n"
        "[setting]\nCOM=COM3\nSpeed=3\n";
    EXPECT_EQ(Find(text, "Setting", "COM"), "COM1");
    EXPECT_EQ(Find(text, "Setting", "Speed"), std::nullopt);  // only in the second [setting]
    EXPECT_EQ(Find(text, "Setting", "noise without equals"), std::nullopt);
}

TEST(IniTextRead, OnePairOfMatchingOuterQuotesIsRemoved) {
    const std::string text =
        "[P]\na=\"C:\\x y\"\nb='it'\nc=\"mixed'\nd=\"\"\ne=\"\nf=\"\"two\"\"\ng=  ' spaced '  "
        "\nh=\n";
    EXPECT_EQ(Find(text, "P", "a"), "C:\\x y");
    EXPECT_EQ(Find(text, "P", "b"), "it");
    EXPECT_EQ(Find(text, "P", "c"), "\"mixed'");
    EXPECT_EQ(Find(text, "P", "d"), "");
    EXPECT_EQ(Find(text, "P", "e"), "\"");
    EXPECT_EQ(Find(text, "P", "f"), "\"two\"");
    EXPECT_EQ(Find(text, "P", "g"), " spaced ");
    EXPECT_EQ(Find(text, "P", "h"), "");  // present but empty is not missing
}

TEST(IniTextRead, ByteOrderMarkBeforeTheFirstSectionIsSkipped) {
    EXPECT_EQ(Find("\xEF\xBB\xBF[Setting]\r\nCOM=COM4\r\n", "Setting", "COM"), "COM4");
}

TEST(IniInteger, SignDigitsUpToJunkWrappingAndDefault) {
    struct Case {
        const char *value;
        int32_t expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"  -5\t", -5},
        {"+7", 7},
        {"12abc", 12},
        {"abc", 0},
        {"-", 0},
        {"- 5", 0},
        {"3.9", 3},
        {"0x10", 0},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},
        {"4294967297", 1},
        {"-2147483649", 2147483647},
        {"-4294967295", 1},
        {"99999999999999999999", static_cast<int32_t>(1661992959u)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IniInteger(c.value, 42), c.expected) << c.value;
    }
    EXPECT_EQ(IniInteger("", 42), 42);
    EXPECT_EQ(IniInteger(" \t ", -3), -3);
}

TEST(IniTextWrite, ChangesOnlyTheValueOfTheKeyLine) {
    const std::string text =
        "; settings\n[Setting]\n  speed =  1  \nCOM=COM1\n\n[Debug]\nPause=0\n";
    EXPECT_EQ(IniTextWithValue(text, "Setting", "Speed", "3"),
              "; settings\n[Setting]\n  speed =  3\nCOM=COM1\n\n[Debug]\nPause=0\n");
    EXPECT_EQ(IniTextWithValue(text, "debug", "PAUSE", "1"),
              "; settings\n[Setting]\n  speed =  1  \nCOM=COM1\n\n[Debug]\nPause=1\n");
}

TEST(IniTextWrite, EmptyValueLineGetsTheValueAfterItsEquals) {
    EXPECT_EQ(IniTextWithValue("[S]\r\nk=\r\n", "S", "k", "v"), "[S]\r\nk=v\r\n");
}

TEST(IniTextWrite, NewKeyGoesAfterTheSectionsLastKeyLine) {
    const std::string text = "[Setting]\nCOM=COM1\n\n; tail\n[Debug]\nPause=0\n";
    EXPECT_EQ(IniTextWithValue(text, "Setting", "Speed", "2"),
              "[Setting]\nCOM=COM1\nSpeed=2\n\n; tail\n[Debug]\nPause=0\n");
}

TEST(IniTextWrite, NewKeyInASectionWithoutKeysGoesRightAfterTheSectionLine) {
    EXPECT_EQ(IniTextWithValue("[Setting] x\r\n; c\r\n[Debug]\r\n", "setting", "COM", "COM2"),
              "[Setting] x\r\nCOM=COM2\r\n; c\r\n[Debug]\r\n");
}

TEST(IniTextWrite, NewKeyAfterALastLineWithoutEndGetsTheFilesLineEnd) {
    EXPECT_EQ(IniTextWithValue("[A]\rx=1\r[S]\rk=1", "S", "n", "2"), "[A]\rx=1\r[S]\rk=1\rn=2\r");
}

TEST(IniTextWrite, NewSectionIsAddedAtTheEndInTheFilesLineEnds) {
    EXPECT_EQ(IniTextWithValue("[A]\nx=1", "Debug", "Pause", "1"), "[A]\nx=1\n[Debug]\nPause=1\n");
    EXPECT_EQ(IniTextWithValue("[A]\r\n", "Debug", "Pause", "1"), "[A]\r\n[Debug]\r\nPause=1\r\n");
    EXPECT_EQ(IniTextWithValue("", "Setting", "COM", "COM1"), "[Setting]\r\nCOM=COM1\r\n");
    EXPECT_EQ(IniTextWithValue("; only a comment", "S", "k", "v"),
              "; only a comment\r\n[S]\r\nk=v\r\n");
}

TEST(IniTextWrite, WritesGoToTheFirstSectionAndFirstKeyOfTheName) {
    const std::string text = "[S]\nk=1\nK=2\n[s]\nk=3\n";
    EXPECT_EQ(IniTextWithValue(text, "S", "k", "9"), "[S]\nk=9\nK=2\n[s]\nk=3\n");
}

TEST(IniTextWrite, AValueThatReadsBackUnchangedLeavesTheTextAlone) {
    EXPECT_EQ(IniTextWithValue("[S]\nk = 'v' \n", "s", "K", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue("[S]\nk=\n", "S", "k", ""), std::nullopt);
    EXPECT_NE(IniTextWithValue("[S]\nk=\n", "S", "other", ""), std::nullopt);
}

TEST(IniTextWrite, ValuesThatReadingWouldChangeAreQuotedAndReadBackWhole) {
    for (const std::string value : {" lead", "trail\t", "'q'", "\"q\"", "\"", "a=b;#c"}) {
        const std::optional<std::string> text = IniTextWithValue("[S]\nk=1\n", "S", "k", value);
        ASSERT_TRUE(text) << value;
        EXPECT_EQ(FindIniValue(*text, "S", "k"), value) << *text;
    }
}

TEST(IniTextWrite, NamesAndValuesThatCannotLiveOnOneLineAreRefused) {
    const std::string text = "[S]\nk=1\n";
    EXPECT_EQ(IniTextWithValue(text, "S", "k", "two\nlines"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", "k", "cr\r"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", "k", std::string("nul\0", 4)), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", "a=b", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", "[k", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", ";k", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", " k", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S]x", "k", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "", "k", "v"), std::nullopt);
    EXPECT_EQ(IniTextWithValue(text, "S", "", "v"), std::nullopt);
}

}  // namespace
}  // namespace dekvanto::core
