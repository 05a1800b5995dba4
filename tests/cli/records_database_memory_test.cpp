// `vanto records push` and `vanto records follow` on a record file many times larger than the
// memory they may use (a busy bench's, generated_bench_record.h): every line is stored once, and
// the program's peak resident memory stays under a fixed bound whatever the file's size.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <iostream>
#include <string>

#include "exit_status.h"
#include "generated_bench_record.h"
#include "linedb/sample_lines.h"
#include "support/temp_folder.h"
#include "test_database.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

// Built with the sanitizers, the program's memory is the sanitizer's (shadow memory, freed blocks
// held back): its peak says nothing about what the sending keeps.
constexpr bool kSanitized = DEKVANTO_SANITIZED;

// The file: 64 MiB, about a hundred thousand lines. A sender that read the whole file before
// sending it would hold more than the file; the bound leaves room for the program, libpq and a
// batch of lines.
constexpr std::size_t kFileBytes = std::size_t{64} << 20;
constexpr long kBoundKib = 48 * 1024;

// A fresh database with the line's tables.
void MakeTables(const testing::TestDatabase &database) {
    ASSERT_TRUE(database.Ready()) << database.Error();
    VantoProcess init({"records", "init-db", "--db", database.Conninfo()});
    ASSERT_EQ(init.Wait(), kFinished) << init.Seen();
}

long long StoredLines(const testing::TestDatabase &database) {
    return core::Number(database.Conninfo(), "SELECT count(*) FROM unit_lines");
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(RecordsDatabaseMemory, PushAndFollowStoreEveryLineOfAFileManyTimesTheBound) {
    if (kSanitized) {
        GTEST_SKIP() << "built with the sanitizers: their memory is not the program's";
    }
    testing::TestDatabase pushed_to;
    testing::TestDatabase followed_to;
    ASSERT_NO_FATAL_FAILURE(MakeTables(pushed_to));
    ASSERT_NO_FATAL_FAILURE(MakeTables(followed_to));
    core::TempFolder folder;
    const std::string file = (folder / "records.jsonl").string();
    const BenchTally tally = WriteBenchRecord(file, kFileBytes);
    const std::string lines = std::to_string(tally.lines);

    const auto push_start = std::chrono::steady_clock::now();
    VantoProcess push({"records", "push", file, "--db", pushed_to.Conninfo()});
    EXPECT_EQ(push.Wait(), kFinished);
    const double push_seconds = SecondsSince(push_start);
    EXPECT_EQ(push.Seen(), "pushed " + file + ": " + lines + " lines read, " + lines +
                               " stored, 0 held already, 0 skipped\n");
    EXPECT_EQ(StoredLines(pushed_to), tally.lines);
    EXPECT_LT(push.PeakResidentKib(), kBoundKib);

    // The forwarder, until the database holds the whole file; then stopped as a service is.
    const auto follow_start = std::chrono::steady_clock::now();
    VantoProcess follow({"records", "follow", file, "--db", followed_to.Conninfo()});
    EXPECT_TRUE(core::Eventually([&] { return StoredLines(followed_to) == tally.lines; }))
        << StoredLines(followed_to) << " of " << lines << " lines stored";
    const double follow_seconds = SecondsSince(follow_start);
    follow.Signal(SIGTERM);
    EXPECT_EQ(follow.Wait(), kFinished) << follow.Seen();
    EXPECT_NE(follow.Seen().find("vanto: stopped following " + file + ": " + lines +
                                 " lines read, " + lines + " stored, 0 held already, 0 skipped\n"),
              std::string::npos)
        << follow.Seen();
    EXPECT_LT(follow.PeakResidentKib(), kBoundKib);

    std::cout << lines << " lines in " << (std::filesystem::file_size(file) >> 20) << " MiB; push "
              << push_seconds << " s, peak " << push.PeakResidentKib() << " KiB; follow "
              << follow_seconds << " s to store all, peak " << follow.PeakResidentKib() << " KiB\n";
}

}  // namespace
}  // namespace dekvanto::cli
