// The phone's end of the serial line while a download runs: what the phone core needs of the
// pseudo-terminal, and nothing of the protocol.
//
// It takes in what the PC sends, at most one chunk (kChunkBytes) per look, so that the phone is
// never much further ahead of the frame it handles than that: a phone that stops reading holds
// the PC back once the line's buffers are full. Each chunk is tagged with the speed the PC side
// has set once the chunk is in. Where the PC waits for the phone's answer before it sends on
// (acknowledged mode) that is the speed the bytes were sent at; where it does not (blind mode)
// the PC may already have switched, so the tag is not a proof. It sends the phone's answers,
// and watches for a stop request, for the PC letting go of the line and for the line vanishing.
// Every wait is bounded by a deadline.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/line_wire.h"
#include "sim/pty_line.h"

namespace dekvanto::sim {

// Monotonic nanoseconds.
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
    PhoneLink(PtyLine &line, const StopSignal &stop, WireTiming wire = WireTiming{})
        : line_(line), stop_(stop), wire_(wire) {}

    // What one look at the line brought: the PC's bytes that have reached the phone, each batch
    // with the moment its first byte had arrived and the time of one byte (0: all at once).
    struct Intake {
        bool gone = false;  // the line has vanished
        std::vector<LineWire::Batch> arrived;
    };
    // Reads one chunk of what waits, without blocking.
    Intake TakeIn();
    // Waits until bytes come, a stop is requested, the wire's next event or until_ns, at most
    // slice_ms. False when the line has failed.
    bool Wait(int64_t until_ns, int64_t slice_ms);

    // Sends one answer byte that the phone sent at sent_ns (not in the future). Without wire
    // timing it goes out now; one the PC cannot hear (it has not the line in raw mode, or its
    // input queue is full) is dropped, as on a real line, and counted in Unheard. With wire
    // timing it goes out from the later looks, once its time on the line is over.
    void Send(uint8_t byte, int64_t sent_ns);
    // Writes the answers that have reached the PC by now (wire timing).
    void SendDueAnswers();
    // Waits until every answer on its way has gone out (wire timing only; bounded by the
    // latency and the bytes' own time).
    void SendPendingAnswers();
    // Answers that were not heard.
    uint32_t Unheard() const { return unheard_; }
    // Answers still on their way to the PC (wire timing).
    bool AnswersPending() const { return wire_.AnswersPending(); }

    // Bytes taken in by one look at most.
    static constexpr size_t kChunkBytes = 4096;

    // The PC has opened the line and closed it again, and a read after that found nothing:
    // everything it wrote before has been taken in.
    bool Released() const { return released_; }
    // The latest look found the line free: nobody held it (the PC had let go, or had never
    // opened it) and nothing was waiting. Whatever the PC sends from then on belongs to an
    // attempt that has not begun before that look.
    bool LineFree() const { return free_; }
    // From here on, Released() speaks of the PC's next attempt: one under way now, or, when the
    // line is free, the next one the PC opens. A line that was let go before does not count.
    void BeginAttempt();
    // The PC has been seen holding the line.
    bool HeldSeen() const { return held_seen_; }
    // When the first of the PC's bytes of the current attempt came (see BeginAttempt); nothing
    // before one has.
    std::optional<int64_t> FirstByteNs() const { return first_byte_ns_; }
    // The phone's answers that the PC has not read yet.
    size_t Unread() const { return line_.Unread(); }
    // Whether the PC's side echoes (not in raw mode): the PC is not listening.
    bool PcDeaf() const { return line_.Echoes(); }

    bool StopRequested() const { return stop_.Requested(); }
    bool Gone() const { return line_.MasterFd() < 0; }
    void Unplug() { line_.Unplug(); }

  private:
    // Whether the PC has let go of the line by now; notes whether it was seen holding it.
    bool SampleLetGo();
    // Reads one chunk of what waits into intake; the byte count, 0 for nothing, -1 when the line
    // is gone. With wire timing the chunk goes onto the wire, and nothing is read while it is
    // full.
    long ReadChunk(Intake &intake);

    PtyLine &line_;
    const StopSignal &stop_;
    LineWire wire_;
    uint32_t unheard_ = 0;
    bool held_seen_ = false;
    bool released_ = false;
    bool free_ = false;
    std::optional<int64_t> first_byte_ns_;
    uint64_t opens_ = 0;         // the PC's openings of the line seen so far
    uint64_t opens_needed_ = 0;  // how many the current attempt needs before it can be let go
};

}  // namespace dekvanto::sim
