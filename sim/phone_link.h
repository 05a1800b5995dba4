// The phone's side of the line while a download runs.
//
// It takes in what the PC sends as it arrives, also while the phone pauses, at most one chunk
// (kChunkBytes) per pump, so that the phone is never further ahead of the frame it handles than
// that: a phone that stops reading holds the PC back once the line's buffers are full. Each
// chunk is tagged with the speed the PC side has set once the chunk is in. Where the PC waits for
// the phone's answer before it sends on (acknowledged mode) that is the speed the bytes were sent
// at; where it does not (blind mode) the PC may already have switched, so the tag is not a proof.
// It sends the phone's answers, and watches for a stop request, for the PC letting go of the line
// and for the line vanishing. Every wait is bounded by a deadline.
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

    // Waits until bytes arrive or the deadline (steady ms) passes, and reads what waits into the
    // reader. Returns early (kNothing) once the PC has let go, unless until_deadline is set.
    Pumped Pump(int64_t deadline_ms, bool until_deadline = false);

    // Sends one answer byte. False when the PC cannot hear it (it has not the line in raw mode,
    // or its input queue is full); the byte is then dropped, as on a real line.
    bool Send(uint8_t byte);

    // Bytes taken in by one pump at most.
    static constexpr size_t kChunkBytes = 4096;

    // The PC has opened the line and closed it again, and a read after that found nothing:
    // everything it wrote before has been taken in.
    bool Released() const { return released_; }
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
    // Whether the PC has let go of the line by now; notes whether it was seen holding it.
    bool SampleLetGo();
    // Reads one chunk of what waits; the byte count, 0 for nothing, -1 when the line is gone.
    long ReadChunk();

    PtyLine &line_;
    FrameReader &reader_;
    const StopSignal &stop_;
    bool held_seen_ = false;
    bool released_ = false;
};

}  // namespace sim
