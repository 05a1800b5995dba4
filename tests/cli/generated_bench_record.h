// A large record file as a busy bench writes it, for the tests that read one in flat memory
// (`vanto records FILE`, `vanto records push`, `vanto records follow`): eight stations whose lines
// interleave, and a ninth station flashed once at the start and never again, so that a reading
// that waits for open units fills its window and keeps it full. Written with the record writer's
// own functions, so the lines are what a bench writes.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/records/record_lines.h"
#include "core/records/record_time.h"

namespace dekvanto::cli {

// What a generated record holds.
struct BenchTally {
    int units = 0;
    int passed = 0;
    int failed = 0;
    int interrupted = 0;
    long long lines = 0;  // record lines written, each with its newline
};

namespace generated_record {

constexpr const char *kCompleted =
    "------------------------DOWNLOAD COMPLETED--------------------------";
constexpr const char *kConnectionLost =
    "-------------- Not acknowledge,  Connection lost -------------------";

// A unit as a bench writes it: three files with their digests, an operator, a log of a download.
inline core::UnitRecord BenchUnit() {
    core::UnitRecord r;
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

inline core::UnitEnd EndOf(const std::string &ended, bool passed) {
    core::UnitEnd end{
        ended,      56.8, 2103296,     passed ? '2' : 'G', core::OutcomeClass::kFinished,
        kCompleted, {},   std::nullopt};
    if (!passed) {
        end.status = core::OutcomeClass::kNoAcknowledgement;
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

}  // namespace generated_record

// Writes a bench's record to `path` until it holds `bytes`: the stations take turns, each ending
// its unit (end and removal lines) before it starts the next, so that eight units are open at any
// time. Every 29th unit fails; the last unit of COM8 stays interrupted.
inline BenchTally WriteBenchRecord(const std::filesystem::path &path, std::size_t bytes) {
    using generated_record::BenchUnit;
    using generated_record::EndOf;
    std::ofstream out(path, std::ios::binary);
    BenchTally tally;
    std::size_t written = 0;
    const auto when = [](int second) {  // seconds into a day of May 2024
        return core::UtcTimestamp(std::chrono::system_clock::time_point{} +
                                  std::chrono::hours(24 * 19860) + std::chrono::seconds(second));
    };
    const auto put = [&](const std::string &line) {
        out << line << '\n';
        written += line.size() + 1;
        ++tally.lines;
    };
    const auto end = [&](core::UnitRecord &r, int second) {
        const bool passed = r.start.unit % 29 != 0;
        r.end = EndOf(when(second), passed);
        put(EndLine(r));
        put(RemovalLine(r, when(second + 3)));
        ++(passed ? tally.passed : tally.failed);
    };

    core::UnitRecord idle = BenchUnit();
    idle.start.station = "COM9";
    idle.start.unit = 1;
    idle.start.started = when(0);
    put(StartLine(idle));
    end(idle, 57);
    ++tally.units;

    std::array<std::optional<core::UnitRecord>, 8> open;
    int i = 0;
    for (; written < bytes; ++i) {
        std::optional<core::UnitRecord> &station = open[i % 8];
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

}  // namespace dekvanto::cli
