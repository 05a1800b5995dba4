// Test doubles at the engine's edges: a clock that moves only when asked, a window that records
// what it is sent, a scripted serial port, and files that can be made to fail.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "clock/clock.h"
#include "files/file_source.h"
#include "line/line_port.h"
#include "window/window.h"

namespace dekvanto::engine::testing {

// Time passes only through SleepMs, Advance and the scripted port's empty reads.
class FakeClock final : public Clock {
  public:
    uint32_t TickMs() override { return tick_; }
    void SleepMs(uint32_t ms) override { Advance(ms == 0 ? 1 : ms); }
    std::time_t Now() override { return calendar_ + static_cast<std::time_t>(elapsed_ms_ / 1000); }
    void Advance(uint32_t ms) {
        tick_ += ms;
        elapsed_ms_ += ms;
    }

    uint32_t tick_ = 0xFFFF0000u;  // near the wrap, so that unsigned differences are exercised
    uint64_t elapsed_ms_ = 0;
    std::time_t calendar_ = 1'700'000'000;
};

// One message as the window received it; log lines keep a copy of their text.
struct WindowMessage {
    uint32_t message;
    uintptr_t wparam;
    std::string text;
};

class RecordingWindow final : public Window {
  public:
    explicit RecordingWindow(bool present = true) : present_(present) {}

    bool Present() const override { return present_; }
    void Send(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    bool Pump() override;
    void MessageBox(const char *text) override { boxes.emplace_back(text); }
    void Prompt(const char *text) override;

    std::vector<std::string> LogLines() const;
    int CountOf(uint32_t message) const;

    std::vector<WindowMessage> messages;
    std::vector<std::string> boxes;
    std::vector<std::string> prompts;
    int pumps = 0;
    // Runs on every pump (the user's commands arrive here); returns true for a quit request.
    std::function<bool(int pump_number)> on_pump;
    // Runs while a prompt is open.
    std::function<void()> on_prompt;

  private:
    bool present_;
};

// A serial port whose far end is a script: every write is recorded with the bit rate in force,
// and a responder may queue answer bytes.
class ScriptedPort final : public LinePort {
  public:
    explicit ScriptedPort(FakeClock &clock) : clock_(clock) {}

    int Open(int32_t number) override;
    bool SetBitRate(uint32_t bits_per_second) override;
    bool SetDtr(bool raised) override;
    bool Restore() override;
    bool Purge() override;
    void Release() override;
    bool Write(const uint8_t *data, uint32_t count, uint32_t &written) override;
    bool Drain() override;
    bool SetReadTimeout(uint32_t constant_ms) override;
    ReadOutcome ReadByte(uint8_t &byte) override;

    struct Written {
        std::vector<uint8_t> bytes;
        uint32_t bit_rate;
    };
    // All bytes written, in order, one entry per write.
    std::vector<Written> writes;
    std::deque<uint8_t> answers;
    // Called after every write with the index of the write.
    std::function<void(ScriptedPort &, std::size_t write_index)> responder;

    // The port's operations in order, for checks of what comes before what: "write", "drain",
    // "rate" (SetBitRate), "close" (SetDtr(false)), "release"; tests may add their own marks.
    std::vector<std::string> timeline;
    int drains = 0;
    int drain_fails_at = -1;  // the drain with this index (from 0) and every later one fail
    // Written bytes that had not been drained when the speed changed or the port was let go:
    // on a real line they would go out garbled or be lost.
    int undrained_rate_changes = 0;
    int undrained_releases = 0;
    bool undrained = false;

    int open_result = 0;             // what Open returns
    int32_t opened_number = 0;       // the port number Open was last given
    bool refuse_bit_rates = false;   // SetBitRate fails
    int write_fails_at = -1;         // the write with this index takes no byte
    bool gone = false;               // reads report the line gone
    std::vector<std::string> calls;  // "open", "dtr+", "dtr-", "restore", "purge", "release"
    uint32_t bit_rate = 0;
    uint32_t read_timeout = 0;
    int reads = 0;
    std::vector<std::size_t> read_positions;  // writes made before each read
    bool is_open = false;

  private:
    FakeClock &clock_;
};

// Memory blocks handed out by FakeFiles and not yet freed.
extern int64_t g_live_blocks;

// Files in memory. A file can be missing, refuse its memory block, or read short.
class FakeFiles final : public FileSource {
  public:
    std::unique_ptr<InputFile> Open(const char *path) override;
    MemoryBlock Allocate(uint64_t size) override;

    std::map<std::string, std::vector<uint8_t>> contents;
    std::map<std::string, uint64_t> short_reads;  // path -> bytes actually delivered
    uint64_t refuse_allocation_of = UINT64_MAX;   // an allocation of this size fails
    int open_files = 0;                           // files currently open
};

}  // namespace dekvanto::engine::testing
