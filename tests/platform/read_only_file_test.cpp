// The firmware files' opener: a regular file is read from any offset whatever happens to its
// path, and nothing else opens, without blocking and without holding anything.
#include "dekvanto/platform/read_only_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "non_regular_files.h"
#include "unprivileged_child.h"

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

class ReadOnlyFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dekvanto-platform-XXXXXX";
        dir = ::mkdtemp(pattern);
        for (int i = 0; i < 5000; ++i) {
            bytes.push_back(static_cast<uint8_t>(i * 7));
        }
        std::ofstream(dir / "code.bin", std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
        descriptors = OpenDescriptors();
    }
    void TearDown() override {
        EXPECT_EQ(OpenDescriptors(), descriptors);
        fs::remove_all(dir);
    }

    fs::path dir;
    std::vector<uint8_t> bytes;
    int descriptors = 0;
};

TEST_F(ReadOnlyFileTest, ARegularFileGivesItsStatusAndItsBytesFromAnyOffset) {
    std::optional<ReadOnlyFile> file = ReadOnlyFile::Open((dir / "code.bin").string());
    ASSERT_TRUE(file.has_value());
    fs::remove(dir / "code.bin");  // what was opened stays readable
    ASSERT_TRUE(file->Status().has_value());
    EXPECT_EQ(file->Status()->size, 5000);

    std::vector<uint8_t> read(100);
    ASSERT_TRUE(file->Seek(4990));
    EXPECT_EQ(file->ReadUpTo(read.data(), read.size()), 10u);  // the end of the file
    EXPECT_EQ(read[9], bytes[4999]);
    ASSERT_TRUE(file->Seek(0));
    read.resize(bytes.size() + 1);
    EXPECT_EQ(file->ReadUpTo(read.data(), read.size()), bytes.size());
    read.pop_back();
    EXPECT_EQ(read, bytes);

    // Moving hands the one descriptor on; it is closed once, by its last owner.
    ReadOnlyFile moved = std::move(*file);
    file.reset();
    EXPECT_TRUE(moved.Status().has_value());
}

// A named pipe without a writer, a socket, a folder, /dev/null, a terminal, a missing path and an
// empty one: none opens, the pipe does not hold the open, and nothing stays open.
TEST_F(ReadOnlyFileTest, NothingButARegularFileOpens) {
    std::vector<std::string> paths = dekvanto::testing::MakeNonRegularFiles(dir);
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    paths.push_back(::ptsname(terminal));
    paths.push_back((dir / "missing.bin").string());
    paths.push_back((dir / "code.bin" / "inside").string());
    paths.push_back("");
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(ReadOnlyFile::Open(path).has_value());
    }
    ::close(terminal);
}

TEST_F(ReadOnlyFileTest, OutsideTextIsNotReadThroughALinkByRootButByAUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "what root may read is seen only when running as root, as the test "
                        "command does";
    }
    fs::permissions(dir, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(dir / "code.bin", fs::perms::others_read, fs::perm_options::add);
    fs::create_symlink(dir / "code.bin", dir / "record.jsonl");
    const std::string link = (dir / "record.jsonl").string();
    EXPECT_TRUE(RefusedAsLinkForAdministrator(link));
    EXPECT_FALSE(ReadOnlyFile::OpenOutsideText(link));
    EXPECT_TRUE(ReadOnlyFile::Open(link));
    EXPECT_TRUE(ReadOnlyFile::OpenOutsideText((dir / "code.bin").string()));
    EXPECT_TRUE(testing::RunUnprivileged([&] {
        EXPECT_FALSE(RefusedAsLinkForAdministrator(link));
        EXPECT_TRUE(ReadOnlyFile::OpenOutsideText(link));
    }));
}

}  // namespace
}  // namespace dekvanto::platform
