#include "byte_trace.h"

#include <cctype>

#include "dekvanto/platform/output_file.h"

namespace dekvanto::cli {

std::string_view PhaseName(int32_t phase) {
    switch (phase) {
        case MX40_PHASE_LINE_SETUP:
            return "line-setup";
        case MX40_PHASE_LOADER:
            return "loader";
        case MX40_PHASE_REQUEST:
            return "request";
        case MX40_PHASE_CODE:
            return "code";
        case MX40_PHASE_ERASE:
            return "erase";
        case MX40_PHASE_RESTART:
            return "restart";
        case MX40_PHASE_PERSO:
            return "perso";
        default:
            return "?";
    }
}

std::string TraceLine(double seconds, int32_t direction, int32_t phase, const uint8_t *bytes,
                      uint32_t count) {
    char head[64];
    std::snprintf(head, sizeof head, "%11.6f %-6s %-10s ", seconds,
                  direction == MX40_TRACE_SENT ? "PC>" : "<PHONE",
                  std::string(PhaseName(phase)).c_str());
    std::string line = head;
    std::string printable;
    for (uint32_t i = 0; i < 16; ++i) {
        if (i < count) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
            line += hex;
            printable += std::isprint(bytes[i]) != 0 ? static_cast<char>(bytes[i]) : '.';
        } else {
            line += "   ";
        }
    }
    return line + "|" + printable + "|";
}

ByteTrace::ByteTrace(const std::filesystem::path &file)
    : file_(platform::OpenOutputFile(file, error_)) {}

ByteTrace::~ByteTrace() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void MX40_CALL ByteTrace::OnBytes(void *context, int32_t direction, int32_t phase,
                                  const uint8_t *bytes, uint32_t count) {
    static_cast<ByteTrace *>(context)->Write(direction, phase, bytes, count);
}

void ByteTrace::Write(int32_t direction, int32_t phase, const uint8_t *bytes, uint32_t count) {
    if (file_ == nullptr) {
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    for (uint32_t at = 0; at < count; at += 16) {
        const uint32_t n = count - at < 16 ? count - at : 16;
        std::fprintf(file_, "%s\n", TraceLine(seconds, direction, phase, bytes + at, n).c_str());
    }
}

}  // namespace dekvanto::cli
