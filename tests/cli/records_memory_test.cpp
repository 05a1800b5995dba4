// `vanto records` on a record file many times larger than the memory it may use: a bench of eight
// stations whose lines interleave, and a ninth station flashed once at the start and never again,
// so that the reading's window of waiting units fills up and stays full. The listing and the CSV
// rows come out whole and in the order the units started, with the right totals, while the
// program's peak resident memory stays under a fixed bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "core/records/record_lines.h"
#include "core/records/record_time.h"
#include "exit_status.h"
#include "support/temp_folder.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::OutcomeClass;
using dekvanto::core::UnitEnd;
using dekvanto::core::UnitRecord;

// Built with the sanitizers, the program's memory is the sanitizer's (shadow memory, freed blocks
// held back): its peak says nothing about what the reading keeps.
constexpr bool kSanitized = DEKVANTO_SANITIZED;

// The file: 96 MiB, written and read in seconds. A reader that kept every unit held about 2.4
// times the file's size; the bound is half the file, room for the program itself and a full
// window of waiting units (about 12 MiB).
constexpr std::size_t kFileBytes = std::size_t{96} << 20;
constexpr long kBoundKib = 48 * 1024;

constexpr const char *kCompleted =
    "------------------------DOWNLOAD COMPLETED--------------------------";
constexpr const char *kConnectionLost =
    "-------------- Not acknowledge,  Connection lost -------------------";

// A unit as a bench writes it: three files with their digests, an operator, a log of a download.
UnitRecord BenchUnit() {
    UnitRecord r;
    r.constants.host = "bench-1";
    r.constants.tool_version = "1.4.0";
    r.constants.product = "VANTO 16 bits";
    r.constants.settings = {460800, "none", 1, 16, 0, "acknowledged"};
    const std::string digest(64, 'a');
    r.constants.files = {{"loader", "/srv/firmware/2024-05/vanto_loader.bin", 6144, "8E21", digest},
                         {"code", "/srv/firmware/2024-05/code.bin", 2097152, "1C", digest},
                         {"perso", "/srv/firmware/2024-05/perso.psb", 4096, "DB5", digest}};
    r.start.device = {"/dev/ttyUSB0", "A10K3Z", "FT232R USB UART"};
    r.start.operator_name = "Ana";
    return r;
}

UnitEnd EndOf(const std::string &ended, bool passed) {
    UnitEnd end{ended,      56.8, 2103296,     passed ? '2' : 'G', OutcomeClass::kFinished,
                kCompleted, {},   std::nullopt};
    if (!passed) {
        end.status = OutcomeClass::kNoAcknowledgement;
        end.result_line = kConnectionLost;
        end.reason = "no acknowledgement in the code file";
    }
    end.log = {"Mapping compatibility is OK, download start.",
               "Starting Time : 08:30:15 ",
               "Open COM3",
               "Set Speed (460800)",
               "Download /srv/firmware/2024-05/vanto_loader.bin",
               " -> Starting Flash writing",
               "Download /srv/firmware/2024-05/code.bin",
               " -> Start End of Flash erasing",
               " -> End of flash Erased",
               "Download /srv/firmware/2024-05/perso.psb",
               "Close COM3",
               "Finish Time : 08:31:12 .Total : 00 Min 57 sec",
               end.result_line};
    return end;
}

struct BenchTally {
    int units = 0;
    int passed = 0;
    int failed = 0;
    int interrupted = 0;
};

// Writes a bench's record to `path` until it holds kFileBytes: the stations take turns, each
// ending its unit (end and removal lines) before it starts the next, so that eight units are open
// at any time. Every 29th unit fails; the last unit of COM8 stays interrupted.
BenchTally WriteBenchRecord(const std::filesystem::path &path) {
    std::ofstream out(path, std::ios::binary);
    BenchTally tally;
    std::size_t written = 0;
    const auto when = [](int second) {  // seconds into a day of May 2024
        return dekvanto::core::UtcTimestamp(std::chrono::system_clock::time_point{} +
                                            std::chrono::hours(24 * 19860) +
                                            std::chrono::seconds(second));
    };
    const auto put = [&](const std::string &line) {
        out << line << '\n';
        written += line.size() + 1;
    };
    const auto end = [&](UnitRecord &r, int second) {
        const bool passed = r.start.unit % 29 != 0;
        r.end = EndOf(when(second), passed);
        put(EndLine(r));
        put(RemovalLine(r, when(second + 3)));
        ++(passed ? tally.passed : tally.failed);
    };

    UnitRecord idle = BenchUnit();
    idle.start.station = "COM9";
    idle.start.unit = 1;
    idle.start.started = when(0);
    put(StartLine(idle));
    end(idle, 57);
    ++tally.units;

    std::array<std::optional<UnitRecord>, 8> open;
    int i = 0;
    for (; written < kFileBytes; ++i) {
        std::optional<UnitRecord> &station = open[i % 8];
        if (station) {
            end(*station, 53 + i * 8);  // 57 seconds after it started
        }
        station = BenchUnit();
        station->start.station = "COM" + std::to_string(i % 8 + 1);
        station->start.unit = i / 8 + 1;
        station->start.unit_id = "SN-" + std::to_string(100000 + i);
        station->start.started = when(60 + i * 8);
        put(StartLine(*station));
        ++tally.units;
    }
    for (std::size_t s = 0; s + 1 < open.size(); ++s) {
        end(*open[s], 120 + i * 8);
    }
    ++tally.interrupted;
    return tally;
}

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
    const BenchTally tally = WriteBenchRecord(file);

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
