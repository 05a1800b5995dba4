// vanto-virtual-download: one whole download by the engine against the line model in virtual
// time, next to the protocol's ideal time. Prints one JSON object per adapter latency.
//
//   vanto-virtual-download [--latency-us US]... [--granularity-us US] [--loader N] [--code N]
//                          [--perso N] [--speed-index 0..3] [--port-drains-each-write]
//
// --port-drains-each-write makes the modelled port drain inside every write, as the POSIX port
// did before the drains moved to the serial line: the figures of the engine as it was.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dekvanto/mx40.h"
#include "fakes.h"
#include "ideal_time.h"
#include "interface/download_driver.h"
#include "line/speed_table.h"
#include "line_model.h"

namespace {

using dekvanto::engine::testing::FakeClock;
using dekvanto::engine::testing::FakeFiles;
using dekvanto::engine::testing::LineModel;
using dekvanto::engine::testing::LineTimes;
using dekvanto::engine::testing::PhoneTimes;
using dekvanto::engine::testing::RecordingWindow;

struct Options {
    std::vector<uint32_t> latencies_us;
    uint32_t granularity_us = 1000;
    bool write_drains = false;
    uint32_t loader = 2048;
    uint32_t code = 2 * 1024 * 1024;
    uint32_t perso = 64 * 1024;
    int32_t speed_index = 3;
};

const char *PhaseName(int32_t phase) {
    switch (phase) {
        case MX40_PHASE_LINE_SETUP:
            return "line setup";
        case MX40_PHASE_LOADER:
            return "loader";
        case MX40_PHASE_REQUEST:
            return "request";
        case MX40_PHASE_CODE:
            return "code file";
        case MX40_PHASE_ERASE:
            return "erase";
        case MX40_PHASE_RESTART:
            return "restart";
        case MX40_PHASE_PERSO:
            return "personalization";
        default:
            return "other";
    }
}

std::vector<uint8_t> Content(uint32_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto &b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

void RunOne(const Options &options, uint32_t latency_us) {
    FakeClock clock;
    RecordingWindow window(false);
    FakeFiles files;
    dekvanto::engine::DownloadFlags flags;
    LineTimes line;
    line.latency_us = latency_us;
    line.drain_granularity_us = options.granularity_us;
    line.write_drains = options.write_drains;
    PhoneTimes phone;
    LineModel model(clock, line, phone);

    files.contents["loader.bin"] = Content(options.loader, 1);
    files.contents["code.bin"] = Content(options.code, 2);
    files.contents["perso.psb"] = Content(options.perso, 3);
    Mx40Settings settings{0, 0, 1, options.speed_index, 0, 0, 0};
    Mx40Files file_record{"loader.bin", options.code > 0 ? "code.bin" : nullptr,
                          options.perso > 0 ? "perso.psb" : nullptr};
    Mx40Options option_record{0, 0, 1, 0};

    const auto real_start = std::chrono::steady_clock::now();
    const int32_t result = dekvanto::engine::RunDownload({model, clock, window, files, flags},
                                                         &settings, &file_record, &option_record);
    const double real_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - real_start)
            .count();

    std::vector<std::string> errors = model.LineErrors();
    for (const auto &e : model.Phone().Errors()) {
        errors.push_back(e);
    }
    if (!model.Phone().Complete()) {
        errors.push_back("the phone did not reach the end of the download");
    }
    if (model.Phone().Record().code != files.contents["code.bin"] ||
        model.Phone().Record().perso != files.contents["perso.psb"] ||
        model.Phone().Record().loader != files.contents["loader.bin"]) {
        errors.push_back("the files received differ from the files sent");
    }

    dekvanto::engine::testing::DownloadShape shape;
    shape.loader_bytes = options.loader;
    shape.code_bytes = options.code;
    shape.perso_bytes = options.perso;
    shape.bit_rate = dekvanto::engine::BitRateOfSpeedIndex(options.speed_index).value_or(0);
    shape.latency_us = latency_us;
    shape.phone = phone;
    const dekvanto::engine::testing::IdealTime ideal =
        dekvanto::engine::testing::ComputeIdealTime(shape);

    std::printf("{\"latency_us\": %u, \"granularity_us\": %u, \"result\": \"%c\", ", latency_us,
                options.granularity_us, static_cast<char>(result));
    std::printf("\"virtual_ns\": %lld, \"ideal_ns\": %lld, \"real_ms\": %.1f, ",
                static_cast<long long>(model.NowNs()), static_cast<long long>(ideal.total_ns),
                real_ms);
    std::printf(
        "\"round_trips\": %u, \"line_bytes\": %llu, \"drains\": %d, \"drain_idle_ns\": %lld, "
        "\"phases\": {",
        ideal.round_trips, static_cast<unsigned long long>(ideal.line_bytes), model.drains,
        static_cast<long long>(model.drain_idle_ns));
    bool first = true;
    for (const auto &[phase, ns] : ideal.phase_ns) {
        const auto found = model.PhaseNs().find(phase);
        const int64_t measured = found == model.PhaseNs().end() ? 0 : found->second;
        std::printf("%s\"%s\": [%lld, %lld]", first ? "" : ", ", PhaseName(phase),
                    static_cast<long long>(measured), static_cast<long long>(ns));
        first = false;
    }
    std::printf("}, \"errors\": [");
    for (size_t i = 0; i < errors.size(); ++i) {
        std::printf("%s%s", i == 0 ? "" : ", ", JsonString(errors[i]).c_str());
    }
    std::printf("]}\n");
}

bool Parse(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--port-drains-each-write") {
            options.write_drains = true;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const uint32_t value = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        if (name == "--latency-us") {
            options.latencies_us.push_back(value);
        } else if (name == "--granularity-us") {
            options.granularity_us = value;
        } else if (name == "--loader") {
            options.loader = value;
        } else if (name == "--code") {
            options.code = value;
        } else if (name == "--perso") {
            options.perso = value;
        } else if (name == "--speed-index" && value <= 3) {
            options.speed_index = static_cast<int32_t>(value);
        } else {
            return false;
        }
    }
    if (options.latencies_us.empty()) {
        options.latencies_us = {1000, 16000};
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: vanto-virtual-download [--latency-us US]... [--granularity-us US] "
                     "[--loader N] [--code N] [--perso N] [--speed-index 0..3] "
                     "[--port-drains-each-write]\n");
        return 2;
    }
    for (const uint32_t latency : options.latencies_us) {
        RunOne(options, latency);
    }
    return 0;
}
