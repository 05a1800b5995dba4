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
#include <deque>

#include "sim/frame_reader.h"
#include "sim/line_wire.h"
#include "sim/pty_line.h"

namespace dekvanto::sim {

// Monotonic milliseconds, and the same clock in nanoseconds.
int64_t NowMs();
int64_t NowNs();

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
    // With wire timing enabled the bytes take the time a real line would (see LineWire).
    PhoneLink(PtyLine &line, FrameReader &reader, const StopSignal &stop,
              WireTiming wire = WireTiming{})
        : line_(line), reader_(reader), stop_(stop), wire_(wire) {}

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
    // or its input queue is full); the byte is then dropped, as on a real line. With wire timing
    // the byte goes out later, from the pumps; one that is not heard then is counted in Unheard.
    bool Send(uint8_t byte);
    // Waits until every answer on its way has gone out (wire timing only; bounded by the
    // latency and the bytes' own time).
    void SendPendingAnswers();
    // Answers that went out late (wire timing) and were not heard.
    uint32_t Unheard() const { return unheard_; }
    // Answers still on their way to the PC (wire timing).
    bool AnswersPending() const { return wire_.AnswersPending(); }

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
    // With wire timing the chunk goes onto the wire, and nothing is read while it is full.
    long ReadChunk();
    // Hands the bytes that have arrived by now to the reader; true when there were any.
    bool DeliverArrived();
    // Writes the answers that have fallen due.
    void SendDueAnswers();
    // How long the next wait may last: up to the deadline, a slice, or the wire's next event.
    int64_t WaitNs(int64_t deadline_ms) const;

    PtyLine &line_;
    FrameReader &reader_;
    const StopSignal &stop_;
    LineWire wire_;
    // Wire timing: when the bytes handed to the reader had arrived, by their position in
    // everything received, so that an answer can be dated from the frame it answers.
    struct Arrivals {
        uint64_t first_position;
        size_t count;
        int64_t first_ns;
        int64_t byte_ns;
    };
    std::deque<Arrivals> arrivals_;
    bool waited_since_delivery_ = true;  // the phone has paused since it got its last bytes
    // When the byte at position had arrived (the latest known one when it is not recorded).
    int64_t ArrivalOf(uint64_t position) const;
    uint32_t unheard_ = 0;
    bool held_seen_ = false;
    bool released_ = false;
};

}  // namespace dekvanto::sim
