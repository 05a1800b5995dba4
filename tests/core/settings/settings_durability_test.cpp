// The settings file "MX40.ini" through crashes and full or read-only folders: a write killed at
// any moment leaves the old file or the new one, whole; a write the folder cannot take is lost
// without a word while the program goes on with its value in memory.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "core/products/file_records.h"
#include "core/settings/ini_file.h"
#include "core/settings/ini_text.h"
#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A settings file as a technician's bench holds it: comments, blank lines, every section, and
// as many notes as asked (enough of them make a write take a while).
std::string BenchSettings(int notes) {
    std::string text =
        "; bench 4, do not edit while downloading\r\n"
        "[Setting]\r\nCOM=COM3\r\nSpeed=1\r\nParity=0\r\nProduct=VANTO 40\r\n\r\n"
        "[Debug]\r\nAcknowledge=1\r\nPause=0\r\n\r\n"
        "[PathOption]\r\nAppFilePath=/data/vanto/code.bin\r\nLoadFilePath=/data/vanto/load.bin\r\n";
    text += "[Notes]\r\n";
    for (int i = 0; i < notes; ++i) {
        text +=
            "Note" + std::to_string(i) + "=calibrated on bench " + std::to_string(i % 7) + "\r\n";
    }
    return text;
}

std::vector<fs::path> FolderEntries(const fs::path &folder) {
    std::vector<fs::path> entries;
    for (const auto &entry : fs::directory_iterator(folder)) {
        entries.push_back(entry.path().filename());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Writes one value in a child process and kills it after `delay` (none: lets it finish);
// returns once it is gone.
void ChildWrite(const fs::path &file, const std::string &value,
                std::optional<Clock::duration> delay) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IniFile(file).WriteText("Setting", "Speed", value);
        ::_exit(0);
    }
    if (delay) {
        std::this_thread::sleep_for(*delay);
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
}

TEST(SettingsDurability, AWriteKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
    TempFolder folder;
    const fs::path file = folder / "MX40.ini";
    folder.Write("MX40.ini", BenchSettings(2000));

    // How long a child takes here from its start to the end of its write, so that the kills land
    // before, during and after writes.
    const auto started = Clock::now();
    for (int i = 0; i < 5; ++i) {
        ChildWrite(file, std::to_string(i % 2), std::nullopt);
    }
    const auto one_write = (Clock::now() - started) / 5;

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int64_t> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(one_write * 3 / 2).count());
    int kept_old = 0;
    int took_new = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string old_text = folder.Read("MX40.ini");
        const std::string old_value = IniFile(file).ReadText("Setting", "Speed", "");
        const std::string new_value = std::to_string(1000 + round);
        const std::string new_text =
            IniTextWithValue(old_text, "Setting", "Speed", new_value).value_or("");

        ChildWrite(file, new_value, std::chrono::microseconds(moment(random)));

        const std::string text = folder.Read("MX40.ini");
        const std::string value = IniFile(file).ReadText("Setting", "Speed", "<none>");
        if (text == old_text) {
            ++kept_old;
            ASSERT_EQ(value, old_value) << "round " << round;
        } else {
            ++took_new;
            ASSERT_EQ(text, new_text) << "round " << round << ": neither the old nor the new file";
            ASSERT_EQ(value, new_value);
        }
        ASSERT_EQ(FindIniValue(text, "PathOption", "LoadFilePath"), "/data/vanto/load.bin");
    }
    // Only the settings file and the hidden temporary files of killed writes are in the folder.
    int left_behind = 0;
    for (const fs::path &entry : FolderEntries(folder.Path())) {
        if (entry != "MX40.ini") {
            EXPECT_TRUE(entry.string().starts_with(".MX40.ini.tmp-")) << entry;
            ++left_behind;
        }
    }
    std::cout << "one write in a child "
              << std::chrono::duration<double, std::milli>(one_write).count()
              << " ms; kills that kept the old file " << kept_old << ", took the new one "
              << took_new << "; temporary files left by killed writes " << left_behind << '\n';

    // The next write that succeeds clears away what the killed writers left.
    IniFile(file).WriteText("Setting", "Speed", "1");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<fs::path>{"MX40.ini"});
}

// A temporary file is removed only when its writer is gone, and only when it is one of ours.
TEST(SettingsDurability, AWriteRemovesOnlyTheTemporaryFilesOfWritersThatAreGone) {
    TempFolder folder;
    const fs::path file = folder / "MX40.ini";
    folder.Write("MX40.ini", BenchSettings(3));

    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dead_writer = ".MX40.ini.tmp-" + std::to_string(gone) + "-0";
    const std::string live_writer = ".MX40.ini.tmp-" + std::to_string(::getppid()) + "-4";
    const std::vector<std::string> not_ours = {
        ".MX40.ini.tmp-" + std::to_string(gone),  // no count
        ".MX40.ini.tmp--1",                       // no process number
        ".MX40.ini.tmp-" + std::to_string(gone) + "-1x",
        ".PRODUCTS.ini.tmp-" + std::to_string(gone) + "-0",
        "MX40.ini.tmp-" + std::to_string(gone) + "-0",
    };
    for (const std::string &name : not_ours) {
        folder.Write(name, "x");
    }
    folder.Write(dead_writer, "half a settings file");
    folder.Write(live_writer, "a write in progress");
    fs::create_directory(folder / (".MX40.ini.tmp-" + std::to_string(gone) + "-7"));

    IniFile(file).WriteText("Setting", "Speed", "2");

    EXPECT_FALSE(fs::exists(folder / dead_writer));
    EXPECT_TRUE(fs::exists(folder / live_writer));
    for (const std::string &name : not_ours) {
        EXPECT_TRUE(fs::exists(folder / name)) << name;
    }
    EXPECT_TRUE(fs::is_directory(folder / (".MX40.ini.tmp-" + std::to_string(gone) + "-7")));
    EXPECT_EQ(IniFile(file).ReadText("Setting", "Speed", ""), "2");
}

// A folder that cannot take a write: a small file system of its own, read-only or full. Needs the
// right to mount, inside a mount namespace of this process only.
class LimitedFolder {
  public:
    bool Mount(const fs::path &where) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
            return false;
        }
        where_ = where;
        return true;
    }
    bool MakeReadOnly() {
        return ::mount(nullptr, where_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Fills the file system up with a file of its own.
    void Fill() {
        std::ofstream filler(where_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 64 && filler; ++i) {
            filler.write(block.data(), static_cast<std::streamsize>(block.size()));
            filler.flush();
        }
    }
    ~LimitedFolder() {
        if (!where_.empty()) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }

  private:
    fs::path where_;
};

class LostWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(folder / "settings");
        code_file = folder.Write("files/code.bin", "abc").string();
    }

    // A code file chosen by the user: the program takes it although the paths cannot be saved.
    void ChooseAndCheckNothingWasWritten() {
        const std::string before = folder.Read("settings/MX40.ini");
        IniFile store(folder / "settings" / "MX40.ini");
        FileRecords files;
        EXPECT_TRUE(files.ChooseCodeFile(code_file, store));
        EXPECT_EQ(files.code.path, code_file);
        EXPECT_EQ(files.code.checksum_text, "FED9");
        store.WriteInt("Setting", "Speed", 3);
        EXPECT_EQ(folder.Read("settings/MX40.ini"), before);
        EXPECT_EQ(store.ReadInt("Setting", "Speed", 0), 1);
        EXPECT_EQ(store.ReadText("PathOption", "AppFilePath", ""), "/data/vanto/code.bin");
    }

    TempFolder folder;
    std::string code_file;
};

TEST_F(LostWrites, AReadOnlySettingsFolderKeepsItsFileAndTheProgramItsValues) {
    LimitedFolder limited;
    if (limited.Mount(folder / "settings")) {
        folder.Write("settings/MX40.ini", BenchSettings(20));
        ASSERT_TRUE(limited.MakeReadOnly());
    } else {
        folder.Write("settings/MX40.ini", BenchSettings(20));
        ASSERT_EQ(::chmod((folder / "settings").c_str(), 0555), 0);
        if (::geteuid() == 0) {
            // Root writes into any folder: without the right to mount, the technician's account
            // meets the read-only folder instead.
            fs::permissions(folder.Path(), fs::perms::all);
            EXPECT_TRUE(testing::RunUnprivileged([this] { ChooseAndCheckNothingWasWritten(); }));
            EXPECT_EQ(FolderEntries(folder / "settings"), std::vector<fs::path>{"MX40.ini"});
            return;
        }
    }
    ChooseAndCheckNothingWasWritten();
    EXPECT_EQ(FolderEntries(folder / "settings"), std::vector<fs::path>{"MX40.ini"});
}

TEST_F(LostWrites, AFullSettingsFolderKeepsItsFileAndTheProgramItsValues) {
    LimitedFolder limited;
    if (limited.Mount(folder / "settings")) {
        folder.Write("settings/MX40.ini", BenchSettings(20));
        limited.Fill();
        ChooseAndCheckNothingWasWritten();
        EXPECT_EQ(FolderEntries(folder / "settings"),
                  (std::vector<fs::path>{"MX40.ini", "filler"}));
        return;
    }
    // Without the right to mount: a file size limit stops the write the same way. It leaves room
    // for half the settings file, and every save writes the whole file anew (one changed value,
    // none of them much shorter than the file), so each save gets halfway and then finds no more
    // room, as on a disk that fills up while the file is written.
    const std::string settings = BenchSettings(20);
    folder.Write("settings/MX40.ini", settings);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = settings.size() / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    ChooseAndCheckNothingWasWritten();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(FolderEntries(folder / "settings"), std::vector<fs::path>{"MX40.ini"});
}

}  // namespace
}  // namespace dekvanto::core
