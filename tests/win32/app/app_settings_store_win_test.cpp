// The settings file through the private-profile calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/settings/private_profile_store.h"
#include "core/settings/settings_file.h"
#include "win_temp_folder.h"

namespace dekvanto::core {
namespace {

class PrivateProfileStoreTest : public ::testing::Test {
  protected:
    dekvanto::wintest::TempFolder folder_;
    PrivateProfileStore store_{folder_ / "MX40.ini"};
};

TEST_F(PrivateProfileStoreTest, MissingFileGivesDefaultsAndWritesCreateItKeyByKey) {
    EXPECT_EQ(store_.ReadText("Setting", "COM", "COM1"), "COM1");
    EXPECT_EQ(store_.ReadInt("Setting", "Speed", 1), 1);
    EXPECT_EQ(folder_.Read("MX40.ini"), "<missing>");

    store_.WriteText("Setting", "COM", "COM3");
    store_.WriteInt("Setting", "Speed", 2);
    store_.WriteInt("Debug", "Pause", 1);
    EXPECT_EQ(folder_.Read("MX40.ini"),
              "[Setting]\r\nCOM=COM3\r\nSpeed=2\r\n[Debug]\r\nPause=1\r\n");
    EXPECT_EQ(store_.ReadText("setting", "com", "COM1"), "COM3");
    EXPECT_EQ(store_.ReadInt("SETTING", "SPEED", 1), 2);
    EXPECT_EQ(store_.ReadInt("Debug", "Acknowledge", 0), 0);
}

TEST_F(PrivateProfileStoreTest, EmptyValuesNegativeIndicesAndLongTextsReadBackAsStored) {
    folder_.Write("MX40.ini", "[Setting]\r\nProduct=\r\nSpeed=\r\nParity=-1\r\n");
    // Present but empty: "" for a text, the default for an integer.
    EXPECT_EQ(store_.ReadText("Setting", "Product", "None"), "");
    EXPECT_EQ(store_.ReadInt("Setting", "Speed", 1), 1);
    EXPECT_EQ(store_.ReadInt("Setting", "Parity", 0), -1);

    store_.WriteInt("Setting", "StopBit", -1);
    EXPECT_EQ(store_.ReadInt("Setting", "StopBit", 0), -1);

    const std::string path = "C:\\" + std::string(600, 'p') + "\\code.bin";
    store_.WriteText("PathOption", "AppFilePath", path);
    EXPECT_EQ(store_.ReadText("PathOption", "AppFilePath", ""), path);
}

TEST_F(PrivateProfileStoreTest, ValuesThatReadingWouldChangeAreQuotedAndComeBackWhole) {
    store_.WriteText("PathOption", "AppFilePath", " C:\\lead space.bin ");
    store_.WriteText("Setting", "Product", "\"quoted\"");
    EXPECT_EQ(store_.ReadText("PathOption", "AppFilePath", ""), " C:\\lead space.bin ");
    EXPECT_EQ(store_.ReadText("Setting", "Product", ""), "\"quoted\"");
}

TEST_F(PrivateProfileStoreTest, TextsThatWouldBreakTheFileAreNotWritten) {
    folder_.Write("MX40.ini", "[Setting]\r\nCOM=COM2\r\n");
    store_.WriteText("Setting", "COM", "COM3\r\n[Debug]\r\nPause=1");
    store_.WriteText("Setting", "Bad=Key", "1");
    store_.WriteText("Bad]Section", "Key", "1");
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\r\nCOM=COM2\r\n");
}

TEST_F(PrivateProfileStoreTest, HandEditsCountAtTheNextReadAndReadOnlyFilesLoseWritesQuietly) {
    store_.WriteInt("Setting", "RebootDelay", 0);
    folder_.Write("MX40.ini", "[Setting]\r\nRebootDelay=7\r\n");
    EXPECT_EQ(store_.ReadInt("Setting", "RebootDelay", 0), 7);

    const std::string file = (folder_ / "MX40.ini").string();
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    store_.WriteInt("Setting", "RebootDelay", 9);
    EXPECT_EQ(store_.ReadInt("Setting", "RebootDelay", 0), 7);
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\r\nRebootDelay=7\r\n");
}

TEST(SettingsFileTest, ARelativeNameMeansTheWorkingFolderNotTheWindowsFolder) {
    dekvanto::wintest::TempFolder folder;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    {
        auto store = OpenSettingsFile("MX40.ini");
        store->WriteText("Setting", "COM", "COM4");
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(folder.Read("MX40.ini"), "[Setting]\r\nCOM=COM4\r\n");
    // What any other Windows program reads from it with the system's own call.
    char value[16] = {};
    ::GetPrivateProfileStringA("Setting", "COM", "", value, sizeof value,
                               (folder / "MX40.ini").string().c_str());
    EXPECT_STREQ(value, "COM4");
}

}  // namespace
}  // namespace dekvanto::core
