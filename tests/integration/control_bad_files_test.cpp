// Files the application cannot use: the summaries the main window shows for an empty, a huge, an
// unreachable or an unreadable file and a folder, and a whole attempt whose code file is removed
// after it was checked. Nothing stays open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "control_rig.h"
#include "core/products/file_records.h"
#include "non_regular_files.h"
#include "process_figures.h"
#include "support/memory_store.h"
#include "support/temp_folder.h"
#include "unprivileged_child.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;
using dekvanto::integration::ProcessFigures;
using Lines = std::vector<std::string>;

class BadFileSummaries : public ::testing::Test {
  protected:
    BadFileSummaries() : files([this](std::string_view text) { boxes.emplace_back(text); }) {}

    void SetUp() override { descriptors = ProcessFigures::Now().descriptors; }
    void TearDown() override { EXPECT_EQ(ProcessFigures::Now().descriptors, descriptors); }

    // All three files at `path`: none of them opens, and nothing of it is shown.
    void ExpectNoSummaries(const std::string &path) {
        files.code.path = files.loader.path = files.perso.path = path;
        EXPECT_FALSE(files.SummariseCodeFile());
        EXPECT_FALSE(files.SummariseLoaderFile());
        EXPECT_FALSE(files.SummarisePersoFile());
        EXPECT_EQ(files.code.path, "");
        EXPECT_EQ(files.code.size_text, "");
        EXPECT_EQ(files.loader.size, 0);
        EXPECT_EQ(files.perso.size_text, "");
    }

    TempFolder folder;
    Lines boxes;
    FileRecords files;
    int descriptors = 0;
};

TEST_F(BadFileSummaries, AnEmptyFileIsSummarisedAsNoBytes) {
    files.code.path = folder.Write("code.bin", "").string();
    files.loader.path = folder.Write("load.bin", "").string();
    files.perso.path = folder.Write("perso.psb", "").string();
    EXPECT_TRUE(files.SummariseCodeFile());
    EXPECT_TRUE(files.SummariseLoaderFile());
    EXPECT_TRUE(files.SummarisePersoFile());
    EXPECT_EQ(files.code.size_text, "0 Bytes");
    EXPECT_EQ(files.code.checksum_text, "FFFF");
    EXPECT_EQ(files.loader.size_text, "0 Bytes");
    EXPECT_EQ(files.perso.size_text, "0 Bytes");
    EXPECT_TRUE(boxes.empty());
}

// A sparse file of 5 GiB, more than a download can carry: its size is shown, and the code file's
// checksum gives way to the memory message at once, without reading or holding the file.
TEST_F(BadFileSummaries, AFileTooLargeToDownloadShowsItsSizeAndTheMemoryMessage) {
    const uint64_t huge = uint64_t{5} << 30;
    for (const char *name : {"code.bin", "load.bin", "perso.psb"}) {
        fs::resize_file(folder.Write(name, ""), huge);
    }
    files.code.path = (folder / "code.bin").string();
    files.loader.path = (folder / "load.bin").string();
    files.perso.path = (folder / "perso.psb").string();
    const long resident = ProcessFigures::Now().resident_kib;
    EXPECT_TRUE(files.SummariseCodeFile());
    EXPECT_LT(ProcessFigures::Now().resident_kib - resident, 64 * 1024);
    EXPECT_TRUE(files.SummariseLoaderFile());
    EXPECT_TRUE(files.SummarisePersoFile());
    EXPECT_EQ(files.code.size_text, "5368709120 Bytes");
    EXPECT_EQ(files.code.checksum_text, "");
    EXPECT_EQ(boxes, Lines{"Sorry Not Enough Memory!"});
    EXPECT_EQ(files.loader.size_text, "5368709120 Bytes");
    EXPECT_EQ(files.perso.size_text, "5368709120 Bytes");
}

// The largest file a download can carry still gets its checksum, read in pieces.
TEST_F(BadFileSummaries, TheChecksumOfALargeFileIsTheSumOfAllItsBytes) {
    std::string bytes(3 * 64 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 13);
    }
    files.code.path = folder.Write("code.bin", bytes).string();
    EXPECT_TRUE(files.SummariseCodeFile());
    const std::span<const uint8_t> all(reinterpret_cast<const uint8_t *>(bytes.data()),
                                       bytes.size());
    EXPECT_EQ(files.code.checksum_text, ChecksumText(Sum16(all)));
}

// A path through a plain file (no process may open it, whatever its rights), a folder, a named
// pipe with no writer (reading it would wait for ever), a socket and a device: each counts as a
// file that does not open; the main window shows nothing for it.
TEST_F(BadFileSummaries, UnreachablePathsAndAnythingButRegularFilesDoNotOpen) {
    std::vector<std::string> paths = dekvanto::testing::MakeNonRegularFiles(folder.Path());
    paths.push_back(folder.Write("plain", "x").string() + "/code.bin");
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        ExpectNoSummaries(path);
        EXPECT_FALSE(StatusOfReadableFile(path).has_value());
        MemoryStore store;
        EXPECT_FALSE(files.ChooseCodeFile(path, store));
    }
    EXPECT_EQ(boxes, Lines(paths.size(), "Error Open Application File!"));
}

// A file without read rights, met by an account without privileges (the tests may run as root):
// it counts as a file that does not open, and choosing it brings its box.
TEST_F(BadFileSummaries, AFileWithoutReadRightsDoesNotOpen) {
    fs::permissions(folder.Path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const std::string path = folder.Write("locked.bin", "locked").string();
    fs::permissions(path, fs::perms::none);
    EXPECT_TRUE(testing::RunUnprivileged([&] {
        ExpectNoSummaries(path);
        MemoryStore store;
        EXPECT_FALSE(files.ChooseCodeFile(path, store));
        EXPECT_FALSE(files.ChoosePersoFile(path, store));
        EXPECT_EQ(boxes,
                  (Lines{"Error Open Application File!", "Error open Personalization File !"}));
    }));
}

// The code file was there when the attempt checked its inputs and is gone when the engine reads
// it: the attempt ends with the code file's error lines and the port closed.
TEST(BadFileAttempt, ACodeFileRemovedAfterItWasCheckedEndsWithItsErrorLines) {
    ControlRig rig({500, 4000, 0});  // code file only: no mapping check reads it first
    RecordingView &view = rig.view;
    // Removed while the engine sets the line up, after the control's checks.
    view.on_dispatch = [&] {
        fs::remove(rig.files.code);
        return false;
    };
    const int descriptors = ProcessFigures::Now().descriptors;
    EXPECT_EQ(rig.PressStart().setup_error, "");

    ASSERT_GE(view.log.size(), 3u);
    EXPECT_EQ(Lines(view.log.end() - 3, view.log.end()),
              (Lines{"Close " + rig.port,
                     "------------------------DOWNLOAD ERROR-----------------------------------",
                     "------------------Error opening application file---------------------"}));
    EXPECT_EQ(ProcessFigures::Now().descriptors, descriptors);
    EXPECT_EQ(rig.control->State(), DownloadState::kIdle);
}

}  // namespace
}  // namespace dekvanto::core
