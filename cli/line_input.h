// The lines that a bench station's parent writes to it on standard input: its answers, the
// go-ahead for a unit with the unit's scanned identifier (core/bench/station_messages.h), split by
// the tool's one line splitter (core/text/output_lines.h). A station waits for them together with its
// poll interval and Ctrl-C, and never longer than it asks: a wait ends at the next whole line, at
// the end of the input (the parent closed it or has gone), at Ctrl-C, or when its time is up.
//
// POSIX: the descriptor is polled together with the Ctrl-C wake pipe (interrupt.h), so the wait
// costs nothing while it lasts. Windows: a thread reads the standard input's pipe, and the wait is
// on its line event together with the Ctrl-C event.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace dekvanto::cli {

class LineInput {
  public:
    enum class Wake { kLine, kEnd, kInterrupt, kTimeout };

    // descriptor: POSIX, the descriptor to read (0 for standard input); Windows reads the
    // process's standard input whatever it is.
    explicit LineInput(int descriptor);
    ~LineInput();
    LineInput(const LineInput &) = delete;
    LineInput &operator=(const LineInput &) = delete;

    // Waits for the next line (given without its line end) at most `timeout`, or without end
    // when none is given. Lines that came before are handed out first, even after the end of the
    // input; an interrupt is told before them.
    Wake Next(std::optional<std::chrono::milliseconds> timeout, std::string &line);

  private:
    // The platform's side: the next whole line read so far (at the end of the input also a last
    // line without its line end); whether the input has ended; a wait for more input (at most
    // `wait`, or without end) that a Ctrl-C cuts short.
    bool TakeLine(std::string &line);
    bool Ended();
    void WaitForMore(std::optional<std::chrono::milliseconds> wait);

    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace dekvanto::cli
