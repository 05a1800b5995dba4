// The lines that a bench station's parent writes to it on standard input: its answers, the
// go-ahead for a unit with the unit's scanned identifier (core/bench/station_messages.h), split by
// the tool's one line splitter (core/text/output_lines.h). A station waits for them together with
// its poll interval and Ctrl-C, and never longer than it asks: a wait ends at the next whole line,
// at the end of the input (the parent closed it or has gone), at Ctrl-C, or when its time is up.
// The bytes come from the platform's input reader (dekvanto/platform/input_reader.h).
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

#include "core/text/output_lines.h"
#include "dekvanto/platform/input_reader.h"

namespace dekvanto::cli {

class LineInput {
  public:
    enum class Wake { kLine, kEnd, kInterrupt, kTimeout };

    // descriptor: POSIX, the descriptor to read (0 for standard input); Windows reads the
    // process's standard input whatever it is.
    explicit LineInput(int descriptor);
    LineInput(const LineInput &) = delete;
    LineInput &operator=(const LineInput &) = delete;

    // Waits for the next line (given without its line end) at most `timeout`, or without end
    // when none is given. Lines that came before are handed out first, even after the end of the
    // input; an interrupt is told before them.
    Wake Next(std::optional<std::chrono::milliseconds> timeout, std::string &line);

  private:
    // A wait for more input (at most `wait`, or without end) that a Ctrl-C cuts short; what came
    // is split into lines (at the end of the input also a last line without its line end).
    void WaitForMore(std::optional<std::chrono::milliseconds> wait);

    platform::InputReader reader_;
    dekvanto::core::LineSplitter splitter_;
    std::deque<std::string> lines_;
    bool ended_ = false;
};

}  // namespace dekvanto::cli
