// Outside text made safe for a terminal and a spreadsheet: what a terminal would act on is shown
// as bytes, what it would show is kept whole.
#include "core/text/outside_text.h"

#include <gtest/gtest.h>

namespace dekvanto::core {
namespace {

TEST(OutsideText, WhatATerminalWouldActOnIsShownAsBytesAndCharactersStayWhole) {
    // Title change, screen clear, a forged line, raw and encoded C1 (CSI), DEL.
    EXPECT_EQ(TerminalText("SN\x1b]0;owned\a"), "SN\\x1B]0;owned\\x07");
    EXPECT_EQ(TerminalText("\x1b[2J"), "\\x1B[2J");
    EXPECT_EQ(TerminalText("SN-1\r\nCOM3 #2 PASS\t"), "SN-1\\x0D\\x0ACOM3 #2 PASS\\x09");
    EXPECT_EQ(TerminalText("a\x9b"
                           "2Jb\xc2\x9b\x7f"),
              "a\\x9B2Jb\\xC2\\x9B\\x7F");
    // Marks that reverse or break a line.
    EXPECT_EQ(TerminalText("\xe2\x80\xae"
                           "LIAF\xe2\x80\xa8"),
              "\\xE2\\x80\\xAELIAF\\xE2\\x80\\xA8");
    // UTF-8 kept: accents, CJK, emoji, the last code point, U+00A0 (just past C1).
    const std::string kept =
        "M\xc3\xbcller \xe4\xb8\xad \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf \xc2\xa0";
    EXPECT_EQ(TerminalText(kept), kept);
    // Not UTF-8: overlong, a surrogate, past U+10FFFF, a lone continuation, a cut character.
    EXPECT_EQ(TerminalText("\xc0\xaf"), "\\xC0\\xAF");
    EXPECT_EQ(TerminalText("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(TerminalText("\xf4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
    EXPECT_EQ(TerminalText("\x80x"), "\\x80x");
    EXPECT_EQ(TerminalText("ab\xe4\xb8"), "ab\\xE4\\xB8");
}

TEST(OutsideText, CuttingNeverSplitsACharacter) {
    const std::string text = "ab\xe4\xb8\xad\xf0\x9f\x98\x80";  // 2 + 3 + 4 bytes
    EXPECT_EQ(CutText(text, 2), "ab");
    EXPECT_EQ(CutText(text, 4), "ab");
    EXPECT_EQ(CutText(text, 5), "ab\xe4\xb8\xad");
    EXPECT_EQ(CutText(text, 8), "ab\xe4\xb8\xad");
    EXPECT_EQ(CutText(text, 9), text);
    EXPECT_EQ(CutText(text, 100), text);
    EXPECT_EQ(CutText("\xff\xfe"
                      "a",
                      2),
              "\xff\xfe");  // bytes that are not UTF-8 count one each
}

TEST(OutsideText, ASpreadsheetCellNeverStartsAFormulaNorShiftsItsColumns) {
    EXPECT_EQ(SpreadsheetText(R"(=HYPERLINK("http://x","SN1"))"),
              R"('=HYPERLINK("http://x","SN1"))");
    EXPECT_EQ(SpreadsheetText("@SUM(1+1)*cmd|' /C calc'!A0"), "'@SUM(1+1)*cmd|' /C calc'!A0");
    EXPECT_EQ(SpreadsheetText("+1"), "'+1");
    EXPECT_EQ(SpreadsheetText("-----DOWNLOAD COMPLETED-----"), "'-----DOWNLOAD COMPLETED-----");
    EXPECT_EQ(SpreadsheetText("\t=1"), "\\x09=1");  // a leading tab cannot hide a formula
    EXPECT_EQ(SpreadsheetText("SN\t7\nX"), "SN\\x097\\x0AX");
    EXPECT_EQ(SpreadsheetText("SN-0042"), "SN-0042");
    EXPECT_EQ(SpreadsheetText(""), "");
}

}  // namespace
}  // namespace dekvanto::core
