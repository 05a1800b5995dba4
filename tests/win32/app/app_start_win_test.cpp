// Start-up on Windows: the program folder, the thread's priority and the engine library bound by
// its full path, with its functions found by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "core/download/engine_library.h"
#include "core/products/product_selection.h"
#include "core/settings/path_text.h"
#include "core/settings/program_folder.h"
#include "core/settings/settings_file.h"
#include "core/window/app_start.h"
#include "core/window/string_table.h"
#include "dekvanto/platform/program_folder.h"
#include "dekvanto/platform/thread_priority.h"
#include "win_temp_folder.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

// The folder of this test program, where the build puts DLL_MX40.DLL too.
fs::path ThisProgramsFolder() {
    char name[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, name, MAX_PATH);
    return fs::path(name).parent_path();
}

fs::path BuiltEngine() {
    return ThisProgramsFolder() / MX40_LIBRARY_FILE_NAME;
}

TEST(ProgramFolderTest, IsTheRunningProgramsFolderWithEveryFileBesideIt) {
    const auto dir = platform::RunningProgramDirectory();
    ASSERT_TRUE(dir.has_value());
    EXPECT_TRUE(fs::equivalent(*dir, ThisProgramsFolder()));
    const ProgramFiles files = FilesOfProgramDirectory(*dir, ObserveSettingsPlace(*dir));
    EXPECT_EQ(files.settings_file, *dir / "MX40.ini");
    EXPECT_EQ(files.engine_library, *dir / "DLL_MX40.DLL");
    const std::string text = files.ProgramDirectoryText();
    EXPECT_EQ(text.back(), '\\');
    EXPECT_EQ(files.LoaderFile("ldr.bin").string(), text + "ldr.bin");
}

TEST(PathTextTest, BackslashAndSlashBothSeparateAndJoinsAddTheBackslash) {
    EXPECT_EQ(PathInFolder("C:\\DEKVANTO\\", "ldr.bin"), "C:\\DEKVANTO\\ldr.bin");
    EXPECT_EQ(PathInFolder("C:\\DEKVANTO", "ldr.bin"), "C:\\DEKVANTO\\ldr.bin");
    EXPECT_EQ(PathInFolder("C:/DEKVANTO/", "ldr.bin"), "C:/DEKVANTO/ldr.bin");
    EXPECT_EQ(FolderOfPath("C:\\files\\code.bin"), "C:\\files");
    EXPECT_EQ(FolderOfPath("C:/files/code.bin"), "C:/files");
    // A product's loader, taken in the program directory that start-up gives.
    ProductSelection selection({Product{"Phone", "ldr.bin", 1, 0, 0}}, "C:\\DEKVANTO\\");
    const wintest::TempFolder folder;
    const auto store = OpenSettingsFile(folder.Path() / "MX40.ini");
    EXPECT_EQ(selection.Choose(1, *store, {})->target.loader_path, "C:\\DEKVANTO\\ldr.bin");
}

TEST(ThreadPriorityTest, StartUpRaisesTheThreadToHighest) {
    ASSERT_TRUE(platform::RaiseThreadPriority());
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

TEST(EngineLibraryTest, BoundByFullPathWithTheFourFunctionsFoundByName) {
    auto engine = EngineLibrary::Load(BuiltEngine());
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->Init(5), 5);
    EXPECT_EQ(engine->StartStop(7), 7);  // neither 0 nor 1: the running flag stays
    EXPECT_EQ(engine->CheckMapCompat("Z:\\no\\code.bin", "Z:\\no\\perso.psb"),
              MX40_MAP_NO_CODE_FILE);
    EXPECT_EQ(engine->CheckMapCompat(nullptr, nullptr), MX40_MAP_NO_PATH);
    EXPECT_NE(engine->Find("Mxl40_Download"), nullptr);
    EXPECT_EQ(engine->Find("Mxl40_NoSuchFunction"), nullptr);
    // The call convention holds across the boundary: the records come back as given.
    Mx40Settings settings{};
    EXPECT_EQ(engine->Download(nullptr, &settings, nullptr, nullptr), MX40_RESULT_NO_FILES);
    EXPECT_EQ(settings.Port, 1);
}

TEST(EngineLibraryTest, RelativePathsOtherLibrariesAndNonLibrariesGiveNoEngine) {
    EXPECT_EQ(EngineLibrary::Load("DLL_MX40.DLL"), nullptr);

    dekvanto::wintest::TempFolder folder;
    // Not a library: refused without any box (a box would hang an unattended run).
    EXPECT_EQ(EngineLibrary::Load(folder.Write("DLL_MX40.DLL", "not a library")), nullptr);

    // A library without the engine's functions: loaded, but every call says it is missing.
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    auto other = EngineLibrary::Load(fs::path(system) / "version.dll");
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->Init(0).has_value());
    EXPECT_FALSE(other->Download(nullptr, nullptr, nullptr, nullptr).has_value());
}

TEST(StartUpTest, TheLibraryMustLieInTheProgramFolderItself) {
    dekvanto::wintest::TempFolder folder;
    // This test program's own folder holds DLL_MX40.DLL and is on the library search path, but
    // a program in another folder must not take it.
    StartUp refused = StartApplicationIn(folder.Path(), ObserveSettingsPlace(folder.Path()));
    EXPECT_EQ(refused.engine, nullptr);
    EXPECT_EQ(refused.end_message, "Sorry DLL_MX40.DLL doesn't exist !");

    fs::copy_file(BuiltEngine(), folder / "DLL_MX40.DLL");
    {
        StartUp started = StartApplicationIn(folder.Path(), ObserveSettingsPlace(folder.Path()));
        ASSERT_NE(started.engine, nullptr);
        EXPECT_EQ(started.files.settings_file, folder / "MX40.ini");
        EXPECT_EQ(started.engine->Init(0), 0);
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
    // Freed with the start-up: the file can go.
    EXPECT_TRUE(fs::remove(folder / "DLL_MX40.DLL"));

    folder.Write("DLL_MX40.DLL", "corrupt");
    StartUp silent = StartApplicationIn(folder.Path(), ObserveSettingsPlace(folder.Path()));
    EXPECT_EQ(silent.engine, nullptr);
    EXPECT_EQ(silent.end_message, "");
}

}  // namespace
}  // namespace dekvanto::core
