// Files on Windows: the whole-file replace of the settings and lists, and files opened for
// reading while others may write them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/files/read_only_file.h"
#include "dekvanto/platform/whole_file.h"
#include "win_temp_folder.h"

namespace dekvanto::core {
namespace {

TEST(WholeFileTest, ReplaceSwapsTheContentsAndLeavesNoTemporaryFile) {
    dekvanto::wintest::TempFolder folder;
    const auto file = folder / "dekvanto.cfg";
    ASSERT_TRUE(platform::ReplaceWholeFile(file, "first\r\n"));
    ASSERT_TRUE(platform::ReplaceWholeFile(file, "second\r\n"));
    EXPECT_EQ(folder.Read("dekvanto.cfg"), "second\r\n");
    EXPECT_EQ(folder.FileCount(), 1);
    EXPECT_EQ(platform::ReadWholeFile(file), "second\r\n");
}

TEST(WholeFileTest, AReadOnlyFileIsNotReplacedAndOtherMarksAreKept) {
    dekvanto::wintest::TempFolder folder;
    const auto file = folder.Write("MX40.ini", "old");
    const std::string name = file.string();
    ASSERT_TRUE(::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform::ReplaceWholeFile(file, "new"));
    EXPECT_EQ(folder.Read("MX40.ini"), "old");
    EXPECT_EQ(folder.FileCount(), 1);

    ASSERT_TRUE(::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(platform::ReplaceWholeFile(file, "new"));
    EXPECT_EQ(folder.Read("MX40.ini"), "new");
    EXPECT_NE(::GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(WholeFileTest, AMissingFileSaysSoAndAFolderCannotBeRead) {
    dekvanto::wintest::TempFolder folder;
    std::error_code error;
    EXPECT_FALSE(platform::ReadWholeFile(folder / "missing.ini", error).has_value());
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(platform::ReadWholeFile(folder / "no-folder" / "MX40.ini", error).has_value());
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(platform::ReadWholeFile(folder.Path(), error).has_value());
    EXPECT_NE(error, std::errc::no_such_file_or_directory);
}

TEST(ReadOnlyFileTest, OpensWhileAnotherProgramWritesAndReportsSizeAndTime) {
    dekvanto::wintest::TempFolder folder;
    const std::string name = folder.Write("code.bin", "0123456789").string();
    HANDLE writer = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    FILETIME when{};
    SYSTEMTIME noon{2024, 5, 0, 17, 12, 0, 0, 0};
    ::SystemTimeToFileTime(&noon, &when);
    ::SetFileTime(writer, nullptr, nullptr, &when);

    auto file = ReadOnlyFile::Open(name);
    ASSERT_TRUE(file.has_value());
    const auto status = file->Status();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->size, 10);
    EXPECT_EQ(status->modified_ns, 1715947200LL * 1'000'000'000);  // 2024-05-17 12:00 UTC
    uint8_t bytes[16] = {};
    EXPECT_EQ(file->ReadUpTo(bytes, sizeof bytes), 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes), 10), "0123456789");
    ::CloseHandle(writer);

    ReadOnlyFile moved = std::move(*file);
    EXPECT_TRUE(moved.Status().has_value());
}

TEST(ReadOnlyFileTest, FoldersDevicesAndMissingFilesDoNotOpen) {
    dekvanto::wintest::TempFolder folder;
    EXPECT_FALSE(ReadOnlyFile::Open(folder.Path().string()).has_value());
    EXPECT_FALSE(ReadOnlyFile::Open("NUL").has_value());
    EXPECT_FALSE(ReadOnlyFile::Open((folder / "missing.bin").string()).has_value());
    EXPECT_FALSE(ReadOnlyFile::Open("").has_value());
    EXPECT_FALSE(StatusOfReadableFile((folder / "missing.bin").string()).has_value());
}

}  // namespace
}  // namespace dekvanto::core
