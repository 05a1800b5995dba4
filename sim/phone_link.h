// The phone's side of the line while a download runs.
//
// It takes in everything the PC sends as soon as it arrives, so that each byte is tagged with
// the speed the PC side had set when it was sent (the PC changes speed between phases and bytes
// queue in the line), and it keeps doing so while the phone pauses. It sends the phone's
// answers, and watches for a stop request, for the PC letting go of the line and for the line
// vanishing. Every wait is bounded by a deadline.
#pragma once

#include <atomic>
#include <cstdint>

#include "sim/frame_reader.h"
#include "sim/pty_line.h"

namespace sim {

// Monotonic milliseconds.
int64_t NowMs();

// A stop request that wakes a waiting phone at once; Request() may come from any thread.
class StopSignal {
  public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    void Request();
    bool Requested() const { return requested_.load(); }
    int WakeFd() const { return pipe_[0]; }  // readable once requested

  private:
    std::atomic<bool> requested_{false};
    int pipe_[2] = {-1, -1};
};

class PhoneLink {
  public:
    PhoneLink(PtyLine &line, FrameReader &reader, const StopSignal &stop)
        : line_(line), reader_(reader), stop_(stop) {}

    enum class Pumped {
        kData,     // bytes arrived and are in the reader
        kNothing,  // the deadline passed, or the PC has let go and nothing is left to read
        kStopped,  // a stop was requested
        kGone,     // the line has vanished
    };

    // Waits until bytes arrive or the deadline (steady ms) passes, and reads everything that
    // waits into the reader.
    Pumped Pump(int64_t deadline_ms);

    // Sends one answer byte. False when the PC cannot hear it (it has not the line in raw mode,
    // or its input queue is full); the byte is then dropped, as on a real line.
    bool Send(uint8_t byte);

    // The PC held the line exclusively (its port was open) and has let it go since, long
    // enough ago that whatever it wrote before has come through the line.
    bool Released() const;
    // The PC has been seen holding the line.
    bool HeldSeen() const { return held_seen_; }
    // The phone's answers that the PC has not read yet.
    size_t Unread() const { return line_.Unread(); }
    // Whether the PC's side echoes (not in raw mode): the PC is not listening.
    bool PcDeaf() const { return line_.Echoes(); }

    bool StopRequested() const { return stop_.Requested(); }
    bool Gone() const { return line_.MasterFd() < 0; }
    void Unplug() { line_.Unplug(); }

    FrameReader &Reader() { return reader_; }

  private:
    void SampleHold();
    // Reads everything waiting; the byte count, or -1 when the line is gone.
    long ReadWaiting();

    PtyLine &line_;
    FrameReader &reader_;
    const StopSignal &stop_;
    bool held_seen_ = false;
    int64_t released_at_ms_ = 0;  // when the PC was first seen to have let go; 0 while held
};

}  // namespace sim
