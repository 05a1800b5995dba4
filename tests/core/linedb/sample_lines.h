// Record lines for the line database's tests, written by the record's own writer.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "core/records/record_lines.h"
#include "test_database.h"

namespace dekvanto::core {

struct SampleUnit {
    std::string host = "bench-1";
    std::string station = "COM3";
    int64_t unit = 1;
    std::optional<std::string> unit_id;
    std::string started = "2026-12-08T10:00:00.000Z";
    std::optional<OutcomeClass> ended = OutcomeClass::kFinished;  // none: interrupted
    bool removed = false;
    std::optional<std::string> product = "Vanto S";
};

inline UnitRecord RecordOf(const SampleUnit &u) {
    UnitRecord r;
    r.constants.host = u.host;
    r.constants.tool_version = "1.4.0";
    r.constants.product = u.product;
    r.constants.settings = {115200, "none", 1, 16, 0, "acknowledged"};
    r.constants.files = {{"code", "/f/vanto_r12.bin", 2048, "1C", std::string(64, 'b')}};
    r.start = {u.station, {"/dev/ttyUSB0", {}, {}}, u.unit, u.unit_id, {}, u.started};
    if (u.ended) {
        UnitEnd end;
        end.ended = u.started;
        end.seconds = 57.25;
        end.bytes = 2048;
        end.result = *u.ended == OutcomeClass::kFinished ? '2' : '6';
        end.status = *u.ended;
        end.result_line = "---- DOWNLOAD COMPLETED ----";
        end.log = {"Loader sent", "DOWNLOAD COMPLETED"};
        r.end = end;
    }
    return r;
}

// The unit's lines as its bench writes them, each with its newline.
inline std::string LinesOf(const SampleUnit &u) {
    const UnitRecord r = RecordOf(u);
    std::string lines = StartLine(r) + "\n";
    if (r.end) {
        lines += EndLine(r) + "\n";
    }
    if (u.removed) {
        lines += RemovalLine(r, u.started) + "\n";
    }
    return lines;
}

// `count` finished units of one station, numbered from `first`, each unit two lines.
inline std::string ManyUnits(int64_t first, int64_t count, const std::string &host = "bench-1") {
    std::string lines;
    for (int64_t n = first; n < first + count; ++n) {
        SampleUnit u;
        u.host = host;
        u.unit = n;
        u.unit_id = "SN-" + std::to_string(n);
        lines += LinesOf(u);
    }
    return lines;
}

inline void Append(const std::filesystem::path &file, const std::string &text) {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << text;
}

// The number a query on the database of `conninfo` gives; -1 when it failed.
inline long long Number(const std::string &conninfo, const std::string &sql) {
    const testing::SqlResult result = testing::RunSql(conninfo, sql);
    return result.ok && result.value ? std::stoll(*result.value) : -1;
}

// Waits until `done` holds, looking every 20 ms, for at most a minute (a guard against a test
// that would hang, far beyond what any of them needs).
inline bool Eventually(const std::function<bool()> &done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace dekvanto::core
