// The file records on real files in a temporary folder: summaries, the second-path fallback,
// the path writes, choosing a file, and the file watch.
#include "core/products/file_records.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/memory_store.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

using Access = MemoryStore::Access;

class FileRecordsTest : public ::testing::Test {
  protected:
    // Sets the file's modification time to seconds since the epoch.
    static void SetModified(const std::filesystem::path &path, long seconds) {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    TempFolder folder;
    MemoryStore store;
    std::vector<std::string> boxes;
    FileRecords files{[this](std::string_view text) { boxes.emplace_back(text); }};
};

TEST(FileSummaryTexts, ChecksumAndSizeFormats) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(ChecksumText(Sum16(abc)), "FED9");
    EXPECT_EQ(ChecksumText(Sum16({})), "FFFF");
    const std::vector<uint8_t> wraps(258, 0xFF);  // 258 * 255 = 0x100FE: the sum wraps
    EXPECT_EQ(ChecksumText(Sum16(wraps)), "FF01");
    EXPECT_EQ(ChecksumText(0), "0");
    EXPECT_EQ(SizeText(3), "3 Bytes");
    EXPECT_EQ(SizeText(0), "0 Bytes");
}

TEST_F(FileRecordsTest, CodeFileSummaryShowsSizeAndChecksumOrEmptiesOnFailure) {
    files.code.path = folder.Write("a/../code.bin", "abc").string();
    EXPECT_TRUE(files.SummariseCodeFile());
    EXPECT_EQ(files.code.path, (folder / "code.bin").string());
    EXPECT_EQ(files.code.size, 3);
    EXPECT_EQ(files.code.size_text, "3 Bytes");
    EXPECT_EQ(files.code.checksum_text, "FED9");

    files.code.path = folder.Write("empty.bin", "").string();
    EXPECT_TRUE(files.SummariseCodeFile());
    EXPECT_EQ(files.code.size_text, "0 Bytes");
    EXPECT_EQ(files.code.checksum_text, "FFFF");

    for (const std::string &missing :
         {(folder / "gone.bin").string(), folder.Path().string(), std::string()}) {
        SCOPED_TRACE(missing);
        files.code.path = missing;
        EXPECT_FALSE(files.SummariseCodeFile());
        EXPECT_EQ(files.code.path, "");
        EXPECT_EQ(files.code.size, 0);
        EXPECT_EQ(files.code.size_text, "");
        EXPECT_EQ(files.code.checksum_text, "");
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FileRecordsTest, LoaderAndPersoSummariesFollowTheirFiles) {
    files.loader.path = folder.Write("loader.bin", std::string(2048, 'L')).string();
    files.perso.path = folder.Write("perso.psb", std::string(64, 'P')).string();
    EXPECT_TRUE(files.SummariseLoaderFile());
    EXPECT_TRUE(files.SummarisePersoFile());
    EXPECT_EQ(files.loader.size, 2048);
    EXPECT_EQ(files.loader.size_text, "2048 Bytes");
    EXPECT_EQ(files.perso.size_text, "64 Bytes");

    std::filesystem::remove(folder / "loader.bin");
    std::filesystem::remove(folder / "perso.psb");
    EXPECT_FALSE(files.SummariseLoaderFile());
    EXPECT_FALSE(files.SummarisePersoFile());
    EXPECT_EQ(files.loader.path, "");
    EXPECT_EQ(files.loader.size, 0);
    EXPECT_EQ(files.loader.size_text, "");
    EXPECT_EQ(files.perso.path, "");
    EXPECT_EQ(files.perso.size_text, "");
}

TEST_F(FileRecordsTest, StartTriesTheSecondPathOfEachFileThatDoesNotOpen) {
    const std::string code = folder.Write("second/code.bin", "abc").string();
    const std::string loader = folder.Write("loader.bin", "LL").string();
    store.Preset("PathOption", "AppFilePath", (folder / "moved.bin").string());
    store.Preset("PathOption", "AppFileName", code);
    store.Preset("PathOption", "LoadFilePath", loader);
    store.Preset("PathOption", "LoadFileName", (folder / "never-read.bin").string());
    store.Preset("PathOption", "PersoFilePath", (folder / "gone.psb").string());
    store.Preset("PathOption", "PersoFileName", (folder / "also-gone.psb").string());

    files.LoadFilePaths(store);
    files.SummariseAllFiles(store);

    EXPECT_EQ(files.code.path, code);
    EXPECT_EQ(files.code.checksum_text, "FED9");
    EXPECT_EQ(files.loader.path, loader);
    EXPECT_EQ(files.perso.path, "");
    EXPECT_EQ(files.perso.size_text, "");
    // The second path of a file that opened at once is never read.
    for (const Access &access : store.Log()) {
        EXPECT_NE(access.key, "LoadFileName");
    }
    EXPECT_TRUE(store.Writes().empty());

    // The next save stores the path that opened.
    files.SaveFilePaths(store);
    EXPECT_EQ(store.Writes(),
              (std::vector<Access>{{"WriteText", "PathOption", "AppFilePath", code},
                                   {"WriteText", "PathOption", "LoadFilePath", loader},
                                   {"WriteText", "PathOption", "PersoFilePath", ""}}));
}

TEST_F(FileRecordsTest, ChoosingAFileKeepsThePreviousOneWhenTheChoiceDoesNotOpen) {
    files.code.path = folder.Write("code.bin", "abc").string();
    files.SummariseCodeFile();
    EXPECT_FALSE(files.ChooseCodeFile((folder / "gone.bin").string(), store));
    EXPECT_FALSE(files.ChoosePersoFile((folder / "gone.psb").string(), store));
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error Open Application File!",
                                               "Error open Personalization File !"}));
    EXPECT_EQ(files.code.path, (folder / "code.bin").string());
    EXPECT_TRUE(store.Writes().empty());

    const std::string perso = folder.Write("perso.psb", "12345").string();
    EXPECT_TRUE(files.ChoosePersoFile(perso, store));
    EXPECT_EQ(files.perso.size_text, "5 Bytes");
    EXPECT_EQ(files.code.checksum_text, "FED9");  // untouched by the personalization choice
    EXPECT_EQ(store.Value("PathOption", "PersoFilePath"), perso);
    EXPECT_EQ(store.Value("PathOption", "AppFilePath"), files.code.path);
}

TEST_F(FileRecordsTest, FileWatchNoticesSizeAndSameSizeRewrites) {
    const auto code = folder.Write("code.bin", "abc");
    const auto loader = folder.Write("loader.bin", "LLLL");
    SetModified(code, 1'000'000);
    SetModified(loader, 1'000'000);
    files.code.path = code.string();
    files.loader.path = loader.string();
    files.SummariseCodeFile();
    files.SummariseLoaderFile();
    EXPECT_FALSE(files.OnFileWatch());

    // Same size, new contents: only the modification time tells.
    folder.Write("code.bin", "abd");
    SetModified(code, 1'000'001);
    EXPECT_TRUE(FileChanged(code.string(), 3, files.code.modified_ns));
    EXPECT_TRUE(files.OnFileWatch());
    EXPECT_EQ(files.code.checksum_text, "FED8");
    EXPECT_FALSE(files.OnFileWatch());

    folder.Write("loader.bin", "LLLLLL");
    SetModified(loader, 1'000'000);
    EXPECT_TRUE(files.OnFileWatch());
    EXPECT_EQ(files.loader.size_text, "6 Bytes");

    // A file that is gone counts as changed at every tick, and empties its record.
    std::filesystem::remove(code);
    EXPECT_TRUE(files.OnFileWatch());
    EXPECT_EQ(files.code.path, "");
    EXPECT_TRUE(files.OnFileWatch());
}

}  // namespace
}  // namespace dekvanto::core
