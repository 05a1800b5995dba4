// Port names: the one reading of "COM<n>" that every place but the settings file's shares.
#include "dekvanto/platform/port_name.h"

#include <gtest/gtest.h>

namespace dekvanto::platform {
namespace {

TEST(PortName, IsComAndANumberFromOneToFiveDigitsWithoutLeadingZero) {
    EXPECT_EQ(PortName::Parse("COM3")->Number(), 3);
    EXPECT_EQ(PortName::Parse("COM99999")->Number(), 99999);
    for (const char *text :
         {"", "COM", "COM0", "COM03", "COM 3", "COM3x", "COM-1", "COM+3", "COM123456", "PORT1"}) {
        EXPECT_EQ(PortName::Parse(text), std::nullopt) << text;
        EXPECT_EQ(PortName::Parse(text, PortName::Letters::kAnyCase), std::nullopt) << text;
    }
}

// What an operator types is the same port whatever the letters' case; a command line's or a
// set-up file's name is written in capitals.
TEST(PortName, TypedLettersMayBeOfAnyCaseAndTheNameIsWrittenInCapitals) {
    EXPECT_EQ(PortName::Parse("com3"), std::nullopt);
    const auto typed = PortName::Parse("cOm3", PortName::Letters::kAnyCase);
    ASSERT_TRUE(typed);
    EXPECT_EQ(*typed, PortName::Parse("COM3"));
    EXPECT_NE(*typed, PortName::Parse("COM4"));
    EXPECT_EQ(typed->Text(), "COM3");
}

TEST(PortName, OfNumberTakesOnlyTheNumbersANameCanCarry) {
    EXPECT_EQ(PortName::OfNumber(12)->Text(), "COM12");
    EXPECT_EQ(PortName::OfNumber(99999), PortName::Parse("COM99999"));
    for (const int number : {0, -3, 100000}) {
        EXPECT_EQ(PortName::OfNumber(number), std::nullopt) << number;
    }
}

}  // namespace
}  // namespace dekvanto::platform
