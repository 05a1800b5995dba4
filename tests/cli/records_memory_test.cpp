// `vanto records` on a record file many times larger than the memory it may use (a busy bench's,
// generated_bench_record.h), so that the reading's window of waiting units fills up and stays
// full. The listing and the CSV rows come out whole and in the order the units started, with the
// right totals, while the program's peak resident memory stays under a fixed bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "exit_status.h"
#include "generated_bench_record.h"
#include "support/temp_folder.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

// Built with the sanitizers, the program's memory is the sanitizer's (shadow memory, freed blocks
// held back): its peak says nothing about what the reading keeps.
constexpr bool kSanitized = DEKVANTO_SANITIZED;

// The file: 96 MiB, written and read in seconds. A reader that kept every unit held about 2.4
// times the file's size; the bound is half the file, room for the program itself and a full
// window of waiting units (about 12 MiB).
constexpr std::size_t kFileBytes = std::size_t{96} << 20;
constexpr long kBoundKib = 48 * 1024;

std::string Counts(const BenchTally &t) {
    return std::to_string(t.units) + " units, " + std::to_string(t.passed) + " passed, " +
           std::to_string(t.failed) + " failed, 0 stopped, " + std::to_string(t.interrupted) +
           " interrupted";
}

TEST(RecordsMemory, AFileManyTimesTheBoundIsListedWholeInFlatMemory) {
    if (kSanitized) {
        GTEST_SKIP() << "built with the sanitizers: their memory is not the program's";
    }
    dekvanto::core::TempFolder folder;
    const std::string file = (folder / "records.jsonl").string();
    const BenchTally tally = WriteBenchRecord(file, kFileBytes);

    VantoProcess listing({"records", file});
    EXPECT_EQ(listing.Wait(), kFinished);
    EXPECT_LT(listing.PeakResidentKib(), kBoundKib);
    std::istringstream lines(listing.Seen());
    std::string line;
    std::string previous;
    std::string out_of_order;
    int listed = 0;
    // Each line begins with its unit's start time, which the file's units have in their order.
    while (std::getline(lines, line) && !line.starts_with("Totals: ")) {
        const std::string started = line.substr(0, line.find(' '));
        if (started <= previous && out_of_order.empty()) {
            out_of_order = line;
        }
        previous = started;
        ++listed;
    }
    EXPECT_EQ(out_of_order, "");
    EXPECT_EQ(listed, tally.units);
    EXPECT_EQ(line, "Totals: " + Counts(tally));

    VantoProcess csv({"records", file, "--csv"});
    EXPECT_EQ(csv.Wait(), kFinished);
    EXPECT_LT(csv.PeakResidentKib(), kBoundKib);
    const std::string &rows = csv.Seen();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), tally.units + 1);
    std::cout << tally.units << " units in " << (std::filesystem::file_size(file) >> 20)
              << " MiB; peak resident memory: listing " << listing.PeakResidentKib() << " KiB, CSV "
              << csv.PeakResidentKib() << " KiB\n";
}

}  // namespace
}  // namespace dekvanto::cli
