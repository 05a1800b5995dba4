// The download's progress as the tool shows it: percent, bytes, effective rate and time left,
// drawn as a bar on a terminal or as a plain line for a log file or a pipe.
#pragma once

#include <cstdint>
#include <string>

namespace dekvanto::cli {

class ProgressMeter {
  public:
    // total: the bytes of every file of the download (loader, code file, personalization file).
    explicit ProgressMeter(uint64_t total) : total_(total) {}

    // The engine's byte count at seconds after the start of the download.
    void OnBytes(uint64_t bytes, double seconds);

    uint64_t Bytes() const { return bytes_; }
    // 0 to 100, from the bytes sent (a total of 0 counts as done).
    int Percent() const;
    // Data bits per second over the whole download so far, in kbit/s; 0 before any data.
    double RateKbits() const;
    // Seconds still needed at the rate so far; negative while the rate is not known.
    double SecondsLeft() const;

    // "[#########           ]  45%  123456/274392 bytes  110.3 kbit/s  0:05 left"
    std::string BarText() const;
    // "progress  45%  123456 bytes  110.3 kbit/s  0:05 left"
    std::string PlainText() const;
    // True once for each tenth passed since the last call (the plain lines are printed then).
    bool TenthPassed();

  private:
    uint64_t total_;
    uint64_t bytes_ = 0;
    double seconds_ = 0;
    int last_tenth_ = 0;
};

// "m:ss" (or "h:mm:ss" from one hour up); "--:--" for a negative value.
std::string DurationText(double seconds);

}  // namespace dekvanto::cli
