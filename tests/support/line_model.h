// A serial line with a phone at its far end, in virtual time: the engine's port over the tests'
// fake clock. The whole download runs against it in milliseconds of real time and gives exact
// figures of what a real line would take.
//
// Timing, in the same terms as the simulator's wire-timed line:
//   - each byte takes ten bit times at the speed in force when it was written;
//   - written bytes queue in the driver and leave back to back; a write returns once everything
//     but the driver's queue has left (at once while the queue has room);
//   - after a turn-around (the queue idle and an answer read since the last write) the first byte
//     leaves the adapter latency later;
//   - each answer reaches the PC the adapter latency plus its own byte time after the phone sent
//     it;
//   - a drain returns when the queue is empty, plus the driver's polling granularity (a USB serial
//     driver notices an empty queue about 1 ms late); a drain of an empty queue costs nothing;
//   - a read that finds no answer within its time-out costs the whole time-out.
// Bytes still queued when the speed changes, or when the port is purged or let go, are lost: the
// model records each such loss as an error, and the phone checks every frame it receives.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "fakes.h"
#include "line/line_port.h"
#include "virtual_phone.h"

namespace dekvanto::engine::testing {

struct LineTimes {
    uint32_t latency_us = 1000;            // adapter latency at each change of direction
    uint32_t drain_granularity_us = 1000;  // how late the driver notices an empty queue
    uint32_t driver_queue = 4096;          // bytes the driver takes before a write blocks
    // The port drains inside every write before it returns (the way the POSIX port used to
    // work), so the line goes idle after each frame for the drain's granularity.
    bool write_drains = false;
};

class LineModel final : public LinePort {
  public:
    // acknowledged: the engine reads the phone's answers (its download options).
    LineModel(FakeClock &clock, LineTimes line, PhoneTimes phone, bool acknowledged = true)
        : clock_(clock), line_(line), phone_(phone, acknowledged) {}

    int Open(int32_t number) override;
    bool SetBitRate(uint32_t bits_per_second) override;
    bool SetDtr(bool) override { return is_open_; }
    bool Restore() override { return is_open_; }
    bool Purge() override;
    void Release() override;
    bool Write(const uint8_t *data, uint32_t count, uint32_t &written) override;
    bool Drain() override;
    bool SetReadTimeout(uint32_t constant_ms) override;
    ReadOutcome ReadByte(uint8_t &byte) override;

    // Virtual nanoseconds since the model was made.
    int64_t NowNs() const;

    VirtualPhone &Phone() { return phone_; }
    // Bytes lost on the line (speed switch or close with bytes still queued).
    const std::vector<std::string> &LineErrors() const { return errors_; }

    // Virtual time spent while each MX40_PHASE_* was in force, in nanoseconds.
    const std::map<int32_t, int64_t> &PhaseNs() const { return phase_ns_; }

    int drains = 0;             // drains that had to wait for bytes to leave
    int64_t drain_idle_ns = 0;  // line time lost to drains beyond the queue's emptying
    bool drain_fails = false;   // the next drains report a vanished line

  private:
    void AdvanceTo(int64_t ns);
    void MarkPhase();
    void LoseQueued(const char *when);
    int64_t ByteNs() const;

    FakeClock &clock_;
    LineTimes line_;
    VirtualPhone phone_;
    bool is_open_ = false;
    uint32_t bit_rate_ = 0;
    uint32_t read_timeout_ms_ = 0;
    uint64_t start_ms_ = clock_.elapsed_ms_;
    int64_t sub_ms_ns_ = 0;     // the part of virtual time below the fake clock's milliseconds
    int64_t tx_free_ns_ = 0;    // when the last queued byte has left
    bool answer_read_ = false;  // an answer was read since the last write
    struct Due {
        int64_t at_ns;
        uint8_t byte;
    };
    std::deque<Due> answers_;
    int64_t rx_free_ns_ = 0;
    std::vector<std::string> errors_;
    std::map<int32_t, int64_t> phase_ns_;
    int64_t phase_mark_ns_ = 0;
};

}  // namespace dekvanto::engine::testing
