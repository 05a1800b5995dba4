// The terminal's view of a bench: what `vanto bench` shows of its state (core/bench/bench_state.h)
// while it runs. It decides nothing; the bench's control (core/bench/bench_control.h) does.
//
// On a terminal: one live line per station (its state, its unit, the unit's last log line,
// percent and elapsed time), redrawn in place under the permanent lines: one per finished unit
// ("COM3 #12 PASS 57.1 s", "COM4 #13 FAIL no acknowledgement in the code file"), per station
// stopped, started or ended with its reason, per refused scan and per notice. Into a file or a
// pipe: the permanent lines only. The totals come last, per station and in all.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "core/bench/bench_state.h"

namespace dekvanto::cli {

class BenchBoard {
  public:
    using Clock = std::chrono::steady_clock;

    // columns: the terminal's width for live lines, 0 for a file or a pipe (permanent lines
    // only).
    BenchBoard(std::ostream &log, int columns) : log_(log), columns_(columns) {}

    // True on a terminal: the live lines are drawn.
    bool Live() const { return columns_ > 0; }
    // The first drawing of the live lines.
    void Begin(const dekvanto::core::BenchState &state, Clock::time_point now);
    // An event the bench's state has taken: its permanent line when it has one, and the live
    // lines redrawn when it changed what they show.
    void OnEvent(const dekvanto::core::DownloadEvent &event,
                 const dekvanto::core::BenchState &state, Clock::time_point now);
    // The time goes on: the live lines' elapsed times are redrawn now and then.
    void Tick(const dekvanto::core::BenchState &state, Clock::time_point now);
    // After every station has ended: the live lines a last time, then the totals.
    void Finish(const dekvanto::core::BenchState &state, Clock::time_point now);

  private:
    void Permanent(const std::string &text, const dekvanto::core::BenchState &state,
                   Clock::time_point now);
    std::string LiveLine(const dekvanto::core::StationTile &tile, bool scan,
                         Clock::time_point now) const;
    void Redraw(const dekvanto::core::BenchState &state, Clock::time_point now, bool at_once);
    void DrawLiveLines(const dekvanto::core::BenchState &state, Clock::time_point now);
    void UpOverLiveLines();

    std::ostream &log_;
    int columns_;
    std::size_t drawn_ = 0;  // live lines on the screen below the permanent ones
    Clock::time_point last_drawn_{};
};

}  // namespace dekvanto::cli
