// Start-up: where the settings file lives, the files named from the program directory, and the
// binding of the engine library by its full path.
#include "core/window/app_start.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/window/string_table.h"
#include "dekvanto/platform/program_folder.h"
#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

TEST(SettingsPlaceTest, SettingsLieBesideAWritableProgramElseInTheUsersConfigFolder) {
    const fs::path dir = "/opt/dekvanto";
    SettingsPlace place;
    place.xdg_config_home = "/home/ann/.cfg";
    place.home = "/home/ann";

    place.program_directory_writable = true;
    EXPECT_EQ(SettingsFileFor(dir, place), "/opt/dekvanto/MX40.ini");

    place.program_directory_writable = false;
    EXPECT_EQ(SettingsFileFor(dir, place), "/home/ann/.cfg/dekvanto/MX40.ini");
    place.xdg_config_home = "relative/cfg";  // not absolute: ignored
    EXPECT_EQ(SettingsFileFor(dir, place), "/home/ann/.config/dekvanto/MX40.ini");
    place.xdg_config_home = "";
    EXPECT_EQ(SettingsFileFor(dir, place), "/home/ann/.config/dekvanto/MX40.ini");
    place.home.reset();
    EXPECT_EQ(SettingsFileFor(dir, place), "/opt/dekvanto/MX40.ini");
}

// The package's folder is never the settings' place, not even for root, who may write there.
TEST(SettingsPlaceTest, APackagedProgramsFolderIsNeverWritable) {
    TempFolder own;
    EXPECT_TRUE(ObserveSettingsPlace(own.Path()).program_directory_writable);
    // Folders that exist, so that root (as in CI) may write them: only the rule keeps them out.
    EXPECT_FALSE(ObserveSettingsPlace("/usr/lib").program_directory_writable);
    EXPECT_FALSE(ObserveSettingsPlace("/usr/bin/../share").program_directory_writable);
}

// Root started without HOME (a service) keeps its settings in its own home from the password
// database, never beside a program the package manager installed; without that home it has none.
TEST(SettingsPlaceTest, RootWithoutHomeTakesItsAccountsHomeAndNeverThePackagesFolder) {
    const fs::path dir = "/usr/lib/dekvanto";
    SettingsPlace place;
    place.administrator = true;
    place.account_home = "/root";
    EXPECT_EQ(SettingsFileFor(dir, place), "/root/.config/dekvanto/MX40.ini");
    place.home = "/home/ann";  // sudo -E: the environment still names the place
    EXPECT_EQ(SettingsFileFor(dir, place), "/home/ann/.config/dekvanto/MX40.ini");
    place.home.reset();
    place.account_home.reset();
    EXPECT_EQ(SettingsFileFor(dir, place), "");
    place.administrator = false;
    EXPECT_EQ(SettingsFileFor(dir, place), "/usr/lib/dekvanto/MX40.ini");
}

// Root may write into a user's build folder, but its settings file there would be refused.
TEST(SettingsPlaceTest, ForRootAFolderOfAnotherUserIsNotWritable) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempFolder folder;
    ASSERT_EQ(::chown(folder.Path().c_str(), testing::kNobody, testing::kNobody), 0);
    const SettingsPlace place = ObserveSettingsPlace(folder.Path());
    EXPECT_FALSE(place.program_directory_writable);
    EXPECT_TRUE(place.administrator);
    EXPECT_TRUE(place.account_home.has_value());
}

TEST(ProgramFilesTest, EveryFileIsNamedFromTheProgramDirectory) {
    SettingsPlace place;
    place.program_directory_writable = true;
    const ProgramFiles files = FilesOfProgramDirectory("/opt/dekvanto", place);
    EXPECT_EQ(files.engine_library, "/opt/dekvanto/" MX40_LIBRARY_FILE_NAME);
    EXPECT_EQ(files.product_list, "/opt/dekvanto/dekvanto.cfg");
    EXPECT_EQ(files.version_file, "/opt/dekvanto/DEKVANTO.VRS");
    EXPECT_EQ(files.settings_file, "/opt/dekvanto/MX40.ini");
    EXPECT_EQ(files.ProgramDirectoryText(), "/opt/dekvanto/");
    EXPECT_EQ(files.LoaderFile("ldr_b3.bin"), "/opt/dekvanto/ldr_b3.bin");
}

class EngineBindingTest : public ::testing::Test {
  protected:
    StartUp StartIn(const fs::path &dir) {
        SettingsPlace place;
        place.program_directory_writable = true;
        return StartApplicationIn(dir, place);
    }

    TempFolder folder;
};

TEST_F(EngineBindingTest, MissingLibraryEndsWithItsMessage) {
    const StartUp start = StartIn(folder.Path());
    EXPECT_EQ(start.engine, nullptr);
    EXPECT_EQ(start.end_message, "Sorry " MX40_LIBRARY_FILE_NAME " doesn't exist !");
    EXPECT_EQ(start.end_message, AppString(StringId::kEngineLibraryMissing));
}

TEST_F(EngineBindingTest, LibraryThatDoesNotLoadEndsWithoutAMessage) {
    folder.Write(MX40_LIBRARY_FILE_NAME, "not a shared library");
    const StartUp start = StartIn(folder.Path());
    EXPECT_EQ(start.engine, nullptr);
    EXPECT_EQ(start.end_message, "");
}

TEST_F(EngineBindingTest, RealEngineIsLoadedFromTheProgramDirectoryAndAnswers) {
    fs::copy_file(DEKVANTO_ENGINE_LIBRARY, folder / MX40_LIBRARY_FILE_NAME);
    StartUp start = StartIn(folder.Path());
    ASSERT_NE(start.engine, nullptr);
    EXPECT_EQ(start.end_message, "");
    EXPECT_EQ(start.engine->Init(0), 0);
    EXPECT_EQ(start.engine->StartStop(5), 5);
    EXPECT_EQ(start.engine->CheckMapCompat(nullptr, nullptr), MX40_MAP_NO_PATH);
    Mx40Files files{};
    EXPECT_EQ(start.engine->Download(nullptr, nullptr, &files, nullptr), MX40_RESULT_NO_SETTINGS);
}

TEST_F(EngineBindingTest, LibraryWithoutTheEngineFunctionsGivesNoResults) {
    // The C library is loadable and exports none of the four names.
    Dl_info info{};
    ASSERT_NE(::dladdr(reinterpret_cast<void *>(&::getpid), &info), 0);
    fs::create_symlink(info.dli_fname, folder / MX40_LIBRARY_FILE_NAME);
    StartUp start = StartIn(folder.Path());
    ASSERT_NE(start.engine, nullptr);
    EXPECT_EQ(start.engine->Init(0), std::nullopt);
    EXPECT_EQ(start.engine->StartStop(0), std::nullopt);
    EXPECT_EQ(start.engine->CheckMapCompat("a", "b"), std::nullopt);
    EXPECT_EQ(start.engine->Download(nullptr, nullptr, nullptr, nullptr), std::nullopt);
}

TEST_F(EngineBindingTest, RunningProgramFindsItsFilesFromAnyWorkingDirectory) {
    // The test program lies beside the built engine library, as the application does.
    const fs::path before = fs::current_path();
    fs::current_path(folder.Path());
    StartUp start = StartApplication();
    fs::current_path(before);

    const auto dir = platform::RunningProgramDirectory();
    ASSERT_TRUE(dir.has_value());
    EXPECT_TRUE(fs::exists(*dir / "core_tests"));
    EXPECT_EQ(start.files.directory, *dir);
    EXPECT_EQ(start.files.engine_library, *dir / MX40_LIBRARY_FILE_NAME);
    ASSERT_NE(start.engine, nullptr);
    EXPECT_EQ(start.engine->StartStop(7), 7);
}

}  // namespace
}  // namespace dekvanto::core
