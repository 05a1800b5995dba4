#include "sim/summary.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace dekvanto::sim {
namespace {

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

template <typename T>
std::string NumberOrNull(const std::optional<T> &value) {
    return value ? std::to_string(*value) : "null";
}

std::string List(const std::vector<std::string> &items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + Quoted(items[i]);
    }
    return out + "]";
}

std::string Line(const std::optional<LineSettings> &line) {
    if (!line) {
        return "null";
    }
    return "{\"bit_rate\": " + std::to_string(line->bit_rate) +
           ", \"parity\": " + std::to_string(line->parity) +
           ", \"stop_bits\": " + std::to_string(line->stop_bits) + "}";
}

std::string Speeds(const std::map<std::string, uint32_t> &speeds) {
    std::string out = "{";
    bool first = true;
    for (const auto &[phase, bit_rate] : speeds) {
        out += (first ? "" : ", ") + Quoted(phase) + ": " + std::to_string(bit_rate);
        first = false;
    }
    return out + "}";
}

std::string CountsJson(const Counts &c) {
    return "{\"loader_blocks\": " + std::to_string(c.loader_blocks) +
           ", \"code_blocks\": " + std::to_string(c.code_blocks) +
           ", \"perso_blocks\": " + std::to_string(c.perso_blocks) +
           ", \"acks\": " + std::to_string(c.acks) +
           ", \"refusals\": " + std::to_string(c.refusals) +
           ", \"silences\": " + std::to_string(c.silences) +
           ", \"syncs\": " + std::to_string(c.syncs) +
           ", \"wrong_syncs\": " + std::to_string(c.wrong_syncs) +
           ", \"unheard\": " + std::to_string(c.unheard) + "}";
}

bool WriteFile(const std::filesystem::path &path, const void *data, size_t size,
               std::string &error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

std::string_view EndReasonName(EndReason reason) {
    switch (reason) {
        case EndReason::kFinished:
            return "finished";
        case EndReason::kIdle:
            return "idle";
        case EndReason::kReleased:
            return "released";
        case EndReason::kStopped:
            return "stopped";
        case EndReason::kUnplugged:
            return "unplugged";
        case EndReason::kGaveUp:
            return "gave-up";
    }
    return "?";
}

bool Summary::Reached(std::string_view phase) const {
    for (const std::string &reached : phases) {
        if (reached == phase) {
            return true;
        }
    }
    return false;
}

bool Summary::HasErrorContaining(std::string_view text) const {
    for (const std::string &error : errors) {
        if (error.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string SummaryJson(const Summary &s) {
    std::string out = "{\n";
    out += "  \"consistent\": " + std::string(s.consistent ? "true" : "false") + ",\n";
    out += "  \"complete\": " + std::string(s.complete ? "true" : "false") + ",\n";
    out += "  \"end\": " + Quoted(EndReasonName(s.end)) + ",\n";
    out += "  \"waiting_for\": " + Quoted(s.waiting_for) + ",\n";
    out += "  \"acknowledged\": " + std::string(s.acknowledged ? "true" : "false") + ",\n";
    out += "  \"phases\": " + List(s.phases) + ",\n";
    out += "  \"target_byte\": " + NumberOrNull(s.target_byte) + ",\n";
    out += "  \"line\": " + Line(s.line) + ",\n";
    out += "  \"request_byte\": " + NumberOrNull(s.request_byte) + ",\n";
    out += "  \"speeds\": " + Speeds(s.speeds) + ",\n";
    out += "  \"counts\": " + CountsJson(s.counts) + ",\n";
    out += "  \"loader_size\": " + std::to_string(s.loader.size()) + ",\n";
    out += "  \"code_size\": " + NumberOrNull(s.code_size) + ",\n";
    out += "  \"code_received\": " + std::to_string(s.code.size()) + ",\n";
    out += "  \"perso_size\": " + NumberOrNull(s.perso_size) + ",\n";
    out += "  \"perso_received\": " + std::to_string(s.perso.size()) + ",\n";
    out += "  \"checksum_received\": " + NumberOrNull(s.checksum_received) + ",\n";
    out += "  \"checksum_computed\": " + NumberOrNull(s.checksum_computed) + ",\n";
    out += "  \"perso_gap_ms\": " + NumberOrNull(s.perso_gap_ms) + ",\n";
    out += "  \"arrival_wait_ms\": " + NumberOrNull(s.arrival_wait_ms) + ",\n";
    out += "  \"faults\": " + List(s.faults) + ",\n";
    out += "  \"errors\": " + List(s.errors) + "\n";
    return out + "}\n";
}

bool WriteRecord(const std::string &dir, const Summary &summary, std::string &error) {
    namespace fs = std::filesystem;
    std::error_code fs_error;
    fs::create_directories(dir, fs_error);
    if (fs_error) {
        error = "cannot create " + dir + ": " + fs_error.message();
        return false;
    }
    const fs::path base(dir);
    // An image that did not come this time must not survive from an earlier run.
    const struct {
        const char *name;
        bool arrived;
        const std::vector<uint8_t> &image;
    } images[] = {
        {"loader.bin", summary.Reached("loader"), summary.loader},
        {"code.bin", summary.code_size.has_value(), summary.code},
        {"perso.bin", summary.perso_size.has_value(), summary.perso},
    };
    for (const auto &image : images) {
        if (!image.arrived) {
            fs::remove(base / image.name, fs_error);
        } else if (!WriteFile(base / image.name, image.image.data(), image.image.size(), error)) {
            return false;
        }
    }
    const std::string json = SummaryJson(summary);
    return WriteFile(base / "summary.json", json.data(), json.size(), error);
}

}  // namespace dekvanto::sim
