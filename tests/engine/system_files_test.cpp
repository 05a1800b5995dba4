// The machine's files as the download reads them: the length and the bytes come from the file
// that was opened, whatever happens to its path afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "files/file_source.h"
#include "mapcheck/byte_source.h"
#include "non_regular_files.h"

namespace dekvanto::engine {
namespace {

namespace fs = std::filesystem;

class SystemFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dekvanto-files-XXXXXX";
        dir = ::mkdtemp(pattern);
        path = dir / "code.bin";
        for (int i = 0; i < 5000; ++i) {
            bytes.push_back(static_cast<uint8_t>(i * 7));
        }
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    fs::path path;
    std::vector<uint8_t> bytes;
};

TEST_F(SystemFilesTest, AFileRemovedAfterItWasOpenedIsStillReadWhole) {
    const auto file = SystemFiles().Open(path.c_str());
    ASSERT_NE(file, nullptr);
    fs::remove(path);
    ASSERT_EQ(file->Length(), bytes.size());
    std::vector<uint8_t> read(bytes.size());
    EXPECT_EQ(file->Read(read.data(), read.size()), bytes.size());
    EXPECT_EQ(read, bytes);
}

TEST_F(SystemFilesTest, AFileCutShortAfterItWasOpenedReadsShort) {
    const auto file = SystemFiles().Open(path.c_str());
    ASSERT_NE(file, nullptr);
    const uint64_t length = file->Length();
    fs::resize_file(path, 1000);
    std::vector<uint8_t> read(length);
    // Fewer bytes than the length: the download's "not read whole" result.
    EXPECT_EQ(file->Read(read.data(), length), 1000u);
}

// A named pipe without a writer, a socket, a folder and a device: the download and the mapping
// check find no file there, at once.
TEST_F(SystemFilesTest, NothingButARegularFileOpens) {
    for (const std::string &odd_file : dekvanto::testing::MakeNonRegularFiles(dir)) {
        SCOPED_TRACE(odd_file);
        EXPECT_EQ(SystemFiles().Open(odd_file.c_str()), nullptr);
        EXPECT_EQ(SystemFileOpener().Open(odd_file.c_str()), nullptr);
    }
    EXPECT_EQ(SystemFiles().Open(nullptr), nullptr);
}

}  // namespace
}  // namespace dekvanto::engine
