#include "core/settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

struct stat StatusOf(const fs::path &path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

int FileCount(const fs::path &folder) {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

class IniFileTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    fs::path path_ = folder_ / "MX40.ini";
    IniFile ini_{path_};
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndTheFirstWriteCreatesItWithCrlf) {
    EXPECT_EQ(ini_.ReadText("Setting", "COM", "COM1"), "COM1");
    EXPECT_EQ(ini_.ReadInt("Setting", "Speed", 1), 1);
    EXPECT_FALSE(fs::exists(path_));

    ini_.WriteText("Setting", "COM", "COM3");
    ini_.WriteInt("Setting", "Speed", -1);
    ini_.WriteInt("Debug", "Pause", 1);
    EXPECT_EQ(folder_.Read("MX40.ini"),
              "[Setting]\r\nCOM=COM3\r\nSpeed=-1\r\n[Debug]\r\nPause=1\r\n");
    EXPECT_EQ(ini_.ReadInt("setting", "speed", 1), -1);
    EXPECT_EQ(
        StatusOf(path_).st_mode & 0777, 0666 & ~[] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mask;
        }());
}

TEST_F(IniFileTest, HandEditedFileKeepsEveryOtherByteAcrossWrites) {
    const std::string original =
        "; written by hand\n[setting]\ncom = COM2   \n# Speed=3 was too fast\nSpeed=1\n\n"
        "[PathOption]\nAppFilePath=\"/home/tech/fw one.bin\"\n";
    folder_.Write("MX40.ini", original);

    EXPECT_EQ(ini_.ReadText("Setting", "COM", "COM1"), "COM2");
    EXPECT_EQ(ini_.ReadText("PathOption", "AppFilePath", ""), "/home/tech/fw one.bin");
    EXPECT_EQ(ini_.ReadText("PathOption", "LoadFilePath", "none"), "none");

    ini_.WriteText("Setting", "COM", "COM7");
    ini_.WriteInt("Setting", "RamSize", 1);
    ini_.WriteText("PathOption", "LoadFilePath", "/opt/dekvanto/ldr.bin");
    ini_.WriteInt("Debug", "Acknowledge", 0);
    EXPECT_EQ(folder_.Read("MX40.ini"),
              "; written by hand\n[setting]\ncom = COM7\n# Speed=3 was too fast\nSpeed=1\n"
              "RamSize=1\n\n[PathOption]\nAppFilePath=\"/home/tech/fw one.bin\"\n"
              "LoadFilePath=/opt/dekvanto/ldr.bin\n[Debug]\nAcknowledge=0\n");
}

TEST_F(IniFileTest, UnchangedValueLeavesTheFileUntouched) {
    folder_.Write("MX40.ini", "[Setting]\r\nSpeed = \"2\"\r\n");
    const struct stat before = StatusOf(path_);
    ini_.WriteInt("Setting", "Speed", 2);
    ini_.WriteText("SETTING", "speed", "2");
    const struct stat after = StatusOf(path_);
    EXPECT_EQ(before.st_ino, after.st_ino);  // a replace would have made a new file
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\r\nSpeed = \"2\"\r\n");
}

TEST_F(IniFileTest, ReplaceKeepsPermissionsAndLeavesNoTemporaryFile) {
    folder_.Write("MX40.ini", "[Setting]\nCOM=COM1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    ini_.WriteText("Setting", "COM", "COM2");
    EXPECT_EQ(StatusOf(path_).st_mode & 07777, 0640u);
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\nCOM=COM2\n");
    EXPECT_EQ(FileCount(folder_.Path()), 1);
}

// A technician's own link: root writes through none (hostile_files_test.cpp), so the write runs
// as the owner of the folders.
TEST_F(IniFileTest, WriteThroughASymbolicLinkChangesItsTargetAndKeepsTheLink) {
    folder_.Write("real/settings.ini", "[Setting]\nCOM=COM1\n");
    fs::create_symlink(folder_ / "real/settings.ini", path_);
    if (::geteuid() == 0) {
        for (const fs::path &path :
             {folder_.Path(), folder_ / "real", folder_ / "real/settings.ini", path_}) {
            ASSERT_EQ(::lchown(path.c_str(), testing::kNobody, testing::kNobody), 0) << path;
        }
    }
    EXPECT_TRUE(testing::RunUnprivileged([this] { ini_.WriteText("Setting", "COM", "COM5"); }));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(folder_.Read("real/settings.ini"), "[Setting]\nCOM=COM5\n");
}

// A failed write changes nothing and keeps its reason, once, for the window to show.
TEST_F(IniFileTest, FailedWritesChangeNothingAndSayWhyOnce) {
    // The folder of the file is a plain file, so nothing can be created in it.
    folder_.Write("not-a-folder", "x");
    IniFile nowhere(folder_ / "not-a-folder" / "MX40.ini");
    nowhere.WriteText("Setting", "COM", "COM2");
    EXPECT_EQ(nowhere.ReadText("Setting", "COM", "COM1"), "COM1");
    const std::optional<std::string> reason = nowhere.TakeUnsavedReason();
    ASSERT_TRUE(reason);
    EXPECT_EQ(
        reason->rfind(
            "settings not saved in " + (folder_ / "not-a-folder/MX40.ini").string() + ": ", 0),
        0u)
        << *reason;
    EXPECT_FALSE(nowhere.TakeUnsavedReason());

    // A value that would break the line structure is refused, not written in two lines.
    folder_.Write("MX40.ini", "[Setting]\nCOM=COM1\n");
    ini_.WriteText("Setting", "COM", "COM2\n[Debug]\nPause=1");
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\nCOM=COM1\n");
    EXPECT_EQ(ini_.TakeUnsavedReason(), "settings not saved in " + path_.string() +
                                            ": the value of COM cannot be stored on one line");
    ini_.WriteText("Setting", "COM", "COM1");  // already stored: nothing to say
    EXPECT_FALSE(ini_.TakeUnsavedReason());
}

TEST_F(IniFileTest, ReadOnlyFileIsNotReplaced) {
    folder_.Write("MX40.ini", "[Setting]\nCOM=COM1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    ini_.WriteText("Setting", "COM", "COM2");
    ini_.WriteText("Debug", "Pause", "1");
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\nCOM=COM1\n");
    EXPECT_EQ(FileCount(folder_.Path()), 1);
}

TEST_F(IniFileTest, FileThatCannotBeReadIsNotReplaced) {
    // A folder in place of the file: it exists but cannot be read as a file.
    fs::create_directory(path_);
    ini_.WriteText("Setting", "COM", "COM2");
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(ini_.ReadText("Setting", "COM", "COM1"), "COM1");
}

// A settings file this user may write but not read: a write cannot keep its other keys, so it
// is lost rather than replacing the file with one holding only the written key.
TEST_F(IniFileTest, RegularFileWithoutReadRightsIsNotReplaced) {
    folder_.Write("MX40.ini", "[Setting]\nCOM=COM1\nSpeed=3\n");
    fs::permissions(folder_.Path(), fs::perms::all);
    fs::permissions(path_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    EXPECT_TRUE(testing::RunUnprivileged([this] {
        ASSERT_NE(::access(path_.c_str(), R_OK), 0);
        ini_.WriteText("Setting", "COM", "COM2");
        ini_.WriteInt("Debug", "Pause", 1);
    }));
    EXPECT_EQ(folder_.Read("MX40.ini"), "[Setting]\nCOM=COM1\nSpeed=3\n");
    EXPECT_EQ(FileCount(folder_.Path()), 1);
}

TEST_F(IniFileTest, EditsMadeWhileRunningAreSeenAtTheNextRead) {
    folder_.Write("MX40.ini", "[Setting]\nRebootDelay=3\n");
    EXPECT_EQ(ini_.ReadInt("Setting", "RebootDelay", 0), 3);
    folder_.Write("MX40.ini", "[Setting]\nRebootDelay=7s\n");
    EXPECT_EQ(ini_.ReadInt("Setting", "RebootDelay", 0), 7);
}

}  // namespace
}  // namespace dekvanto::core
