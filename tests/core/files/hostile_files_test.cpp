// Set-ups that try to turn a settings write against the system or against a user: links planted
// at the settings file's name or on the way to it, and folders that belong to another user.
// Root's rules are tried directly when the tests run as root (as in CI); a technician's account
// is played by a child process that becomes "nobody".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/bench/bench_setup.h"
#include "core/records/record_file.h"
#include "core/settings/ini_file.h"
#include "core/settings/program_folder.h"
#include "dekvanto/platform/output_file.h"
#include "dekvanto/platform/whole_file.h"
#include "dekvanto/platform/write_rules.h"
#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;
using testing::kNobody;
using testing::RunUnprivileged;

int EntryCount(const fs::path &folder) {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

// Gives `path` to the user "nobody" (a link itself, not what it leads to).
void GiveToNobody(const fs::path &path) {
    ASSERT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0) << path;
}

class HostileFiles : public ::testing::Test {
  protected:
    void SetUp() override { fs::permissions(folder_.Path(), fs::perms::all); }

    static void NeedRoot() {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to set up files of another user";
        }
    }

    TempFolder folder_;
};

// Started as root with a user's HOME (sudo -E), the program must not replace what a link in
// that user's folders leads to, nor leave root's files in them.
TEST_F(HostileFiles, RootWritesThroughNoLinkAndIntoNoFolderOfAnotherUser) {
    NeedRoot();
    const fs::path victim = folder_.Write("passwd", "root:x:0:0\n");
    fs::create_symlink(victim, folder_ / "MX40.ini");
    EXPECT_FALSE(platform::ReplaceWholeFile(folder_ / "MX40.ini", "[Setting]\r\nCOM=COM1\r\n"));
    IniFile(folder_ / "MX40.ini").WriteText("Setting", "COM", "COM2");
    std::string why;  // the bench window shows why its set-up was not saved
    EXPECT_FALSE(WriteBenchSetupFile(folder_ / "MX40.ini", BenchSetup{}, why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
    EXPECT_EQ(folder_.Read("passwd"), "root:x:0:0\n");
    EXPECT_TRUE(fs::is_symlink(folder_ / "MX40.ini"));

    fs::create_symlink(folder_ / "made-by-root", folder_ / "dangling.ini");
    EXPECT_FALSE(platform::ReplaceWholeFile(folder_ / "dangling.ini", "x"));
    EXPECT_FALSE(fs::exists(folder_ / "made-by-root"));
    EXPECT_EQ(EntryCount(folder_.Path()), 3);  // no temporary file left

    const fs::path home = folder_ / "home";
    fs::create_directory(home);
    GiveToNobody(home);
    EXPECT_FALSE(platform::ReplaceWholeFile(home / "MX40.ini", "x"));
    EXPECT_EQ(EntryCount(home), 0);
}

// The bench's record and the byte trace are written as they go, not replaced whole: as root they
// follow no planted link either (the trace would empty the file, the record append to it).
TEST_F(HostileFiles, RootAppendsTheRecordAndWritesTheTraceThroughNoLink) {
    NeedRoot();
    const fs::path victim = folder_.Write("shadow", "root:*:1:0\n");
    fs::create_symlink(victim, folder_ / "records.jsonl");
    fs::create_symlink(victim, folder_ / "trace.txt");
    std::string why;
    EXPECT_FALSE(RecordFile::Open((folder_ / "records.jsonl").string(), why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
    std::error_code error;
    EXPECT_EQ(platform::OpenOutputFile(folder_ / "trace.txt", error), nullptr);
    EXPECT_EQ(error, platform::WriteRefusal::kLinkAsAdministrator) << error.message();
    EXPECT_EQ(folder_.Read("shadow"), "root:*:1:0\n");

    std::FILE *trace =
        platform::OpenOutputFile(folder_ / "own-trace.txt", error);  // a plain name: written
    ASSERT_NE(trace, nullptr) << error.message();
    std::fclose(trace);
    EXPECT_TRUE(RecordFile::Open((folder_ / "own.jsonl").string(), why)) << why;
}

// Root prepares no settings folder in a user's home: a folder of root's there would keep the
// user's own program from saving its settings later.
TEST_F(HostileFiles, RootMakesNoSettingsFolderInAUsersFolder) {
    NeedRoot();
    const fs::path home = folder_ / "home";
    fs::create_directory(home);
    GiveToNobody(home);
    ProgramFiles files;
    files.settings_file = home / ".config/dekvanto/MX40.ini";
    PrepareSettingsFolder(files);
    EXPECT_FALSE(fs::exists(home / ".config"));

    files.settings_file = folder_ / "root/.config/dekvanto/MX40.ini";  // root's own: made
    PrepareSettingsFolder(files);
    EXPECT_TRUE(fs::is_directory(folder_ / "root/.config/dekvanto"));
}

// A technician's settings file as a link to a file not made yet: the write makes that file and
// the link stays, as it does for a link to an existing file.
TEST_F(HostileFiles, AUsersDanglingLinkStaysAndTheFileItNamesIsMade) {
    const fs::path mine = folder_ / "mine";
    fs::create_directories(mine / "real");
    fs::create_symlink("real/later.ini", mine / "MX40.ini");
    if (::geteuid() == 0) {
        for (const fs::path &path : {mine, mine / "real", mine / "MX40.ini"}) {
            GiveToNobody(path);
        }
    }
    EXPECT_TRUE(
        RunUnprivileged([&] { IniFile(mine / "MX40.ini").WriteText("Setting", "COM", "COM5"); }));
    EXPECT_TRUE(fs::is_symlink(mine / "MX40.ini"));
    EXPECT_EQ(folder_.Read("mine/real/later.ini"), "[Setting]\r\nCOM=COM5\r\n");
}

// In a folder shared with others a technician follows no link: another user may have planted it.
// A plain file there is still written, and so is a file in the technician's own folder reached
// through a link of root's; a link of a third user on the way is not followed.
TEST_F(HostileFiles, AUserFollowsNoLinkOthersMade) {
    NeedRoot();
    const fs::path shared = folder_ / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all);
    const fs::path victim = folder_.Write("mine/victim.ini", "kept\n");
    GiveToNobody(folder_ / "mine");
    GiveToNobody(victim);
    fs::create_symlink(victim, shared / "MX40.ini");
    fs::create_symlink(folder_ / "mine", folder_ / "by-root");
    fs::create_symlink(folder_ / "mine", folder_ / "by-another");
    ASSERT_EQ(::lchown((folder_ / "by-another").c_str(), kNobody + 1, kNobody + 1), 0);

    EXPECT_TRUE(RunUnprivileged([&] {
        EXPECT_FALSE(platform::ReplaceWholeFile(shared / "MX40.ini", "planted\n"));
        EXPECT_TRUE(platform::ReplaceWholeFile(shared / "plain.ini", "plain\n"));
        EXPECT_TRUE(platform::ReplaceWholeFile(folder_ / "by-root/own.ini", "own\n"));
        EXPECT_FALSE(platform::ReplaceWholeFile(folder_ / "by-another/victim.ini", "planted\n"));
    }));
    EXPECT_EQ(folder_.Read("mine/victim.ini"), "kept\n");
    EXPECT_EQ(folder_.Read("shared/plain.ini"), "plain\n");
    EXPECT_EQ(folder_.Read("mine/own.ini"), "own\n");
}

}  // namespace
}  // namespace dekvanto::core
