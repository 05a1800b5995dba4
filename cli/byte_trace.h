// --trace FILE: every byte sent to and received from the phone, with the time since the trace
// began and the phase of the download, as hex and printable characters. One line holds up to 16
// bytes of one direction and one phase:
//
//   0.104233 PC>   line-setup   02 07 00 01 5e 03                                |....^.|
//   0.105010 <PHONE line-setup 06                                                |.|
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "dekvanto/mx40.h"

namespace dekvanto::cli {

// The name of a trace phase (MX40_PHASE_*), "?" for another value.
std::string_view PhaseName(int32_t phase);

// One trace line (without its end) for at most 16 bytes.
std::string TraceLine(double seconds, int32_t direction, int32_t phase, const uint8_t *bytes,
                      uint32_t count);

class ByteTrace {
  public:
    // Opens (truncates) the file under the write rules of platform/output_file.h; Good() tells
    // whether it opened, Error() why not.
    explicit ByteTrace(const std::filesystem::path &file);
    ~ByteTrace();
    ByteTrace(const ByteTrace &) = delete;
    ByteTrace &operator=(const ByteTrace &) = delete;

    bool Good() const { return file_ != nullptr; }
    const std::error_code &Error() const { return error_; }

    // The engine's trace callback; context is the ByteTrace.
    static void MX40_CALL OnBytes(void *context, int32_t direction, int32_t phase,
                                  const uint8_t *bytes, uint32_t count);

  private:
    void Write(int32_t direction, int32_t phase, const uint8_t *bytes, uint32_t count);

    std::error_code error_;
    std::FILE *file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace dekvanto::cli
