// The unit record on Windows: SHA-256 through CNG, and the record file's locked, flushed appends.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "core/records/file_digest.h"
#include "core/records/record_file.h"
#include "win_temp_folder.h"

namespace dekvanto::core {
namespace {

TEST(RecordsOnWindows, FileDigestKnownVectors) {
    dekvanto::wintest::TempFolder folder;
    const auto empty = DigestFile(folder.Write("empty.bin", "").string());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const auto abc = DigestFile(folder.Write("abc.bin", "abc").string());
    ASSERT_TRUE(abc);
    EXPECT_EQ(abc->sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(abc->sum16, 0xFED9);
    const auto million = DigestFile(folder.Write("a.bin", std::string(1000000, 'a')).string());
    ASSERT_TRUE(million);
    EXPECT_EQ(million->sha256, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(RecordsOnWindows, AppendsOfTwoWritersStayWholeAfterACutOffLine) {
    dekvanto::wintest::TempFolder folder;
    const std::string path = folder.Write("records.jsonl", "{\"cut").string();
    std::string error;
    EXPECT_FALSE(RecordFile::Open(folder.Path().string(), error));
    EXPECT_EQ(error.rfind("cannot open the record file " + folder.Path().string() + ": ", 0), 0u);

    constexpr int kLines = 100;
    auto writer = [&path](char mark) {
        std::string error;
        auto file = RecordFile::Open(path, error);
        for (int i = 0; file && i < kLines; ++i) {
            if (!file->Append(std::string(3000, mark), error)) {
                return;
            }
        }
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();

    std::istringstream lines(folder.Read("records.jsonl"));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "{\"cut");
    int count[2] = {};
    while (std::getline(lines, line)) {
        ASSERT_TRUE(line == std::string(3000, 'a') || line == std::string(3000, 'b'))
            << line.substr(0, 20);
        ++count[line[0] - 'a'];
    }
    EXPECT_EQ(count[0], kLines);
    EXPECT_EQ(count[1], kLines);
}

}  // namespace
}  // namespace dekvanto::core
