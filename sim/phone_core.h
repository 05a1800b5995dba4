// One download as the phone lives it, from the first byte at 2400 bit/s to the last '8', as pure
// protocol logic: bytes and moments in, answers and events out. It holds no descriptor, clock or
// thread. A driver hands it what the PC sent with the moment each byte had arrived (Receive),
// lets it act up to a moment (Advance), carries out what it did (TakeEvents: send each answer at
// its moment, pull the line away at an unplug fault) and wakes it again when it asks
// (NextWakeNs). The simulator on a pseudo-terminal and the line model in virtual time both drive
// it, so the phone behaves the same on both.
//
// The phone plays every party that answers the PC in turn:
//   boot code        takes the memory target byte and the line setup frame at 2400 bit/s,
//                    answers the frame with 0x06 and moves to the announced speed;
//   loader reception takes the loader in short frames of up to 32 bytes, answering each with
//                    0x06, until the empty end frame 00 00, then sends '8' (loader started);
//   flash loader     takes the download request byte 0x40 | flags (bit 0 code file, bit 1
//                    personalization file); for a code file its size frame, 256-byte long-frame
//                    blocks and checksum frame (compared with the 16-bit sum of what arrived),
//                    each answered with 0x06; then '8' when erasing starts and '8' when it ends;
//   DEKE             the resident boot loader after the restart: '8' when ready, then at
//                    115200 bit/s the personalization file's size frame and blocks, each
//                    answered with 0x06, and a final '8'.
// A frame that arrives damaged (check byte, length, contents) is answered with 0x15. The phone
// answers the same whether the PC reads the answers or not.
//
// Phases, one state each: target byte, line frame, loader, loader start ('8'), request, code
// size, code blocks, checksum, erase ('8' twice), restart into DEKE ('8'), personalization size,
// personalization blocks, personalization done ('8'), finished, linger (the line stays up for the
// PC to read the last answers; anything it still sends is an error), over.
//
// Timing. The phone takes a frame once its last byte has arrived and it has done everything it
// decided before; it answers at that moment, or after a pause (its own delays before each '8',
// which it leaves out in blind mode since the PC waits for none of them, and delay faults).
// Answers go out in order, each dated. While the phone waits for a frame, the session ends after
// the idle time counted from the PC's latest byte (not before its first one), when the PC lets
// go of the line (if the phone is set to end then), on a stop, or when the line vanishes.
//
// Checks: everything received against the protocol and the expectations given; the speed of
// every frame where the driver knows it; and, in acknowledged mode, that the PC never sends a
// frame before it could have read the answer it has to wait for (or goes on after a refused
// one). Faults from the plan are committed at their places.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/answer_order.h"
#include "sim/faults.h"
#include "sim/frame_checks.h"
#include "sim/frame_reader.h"
#include "sim/phone_config.h"
#include "sim/summary.h"

namespace dekvanto::sim {

// Something the phone did, at the moment it did it.
struct PhoneEvent {
    enum class Kind {
        kAnswer,  // byte goes to the PC
        kPhase,   // the phone reached the phase named in text
        kError,   // the phone found wrong what text says
        kUnplug,  // the line vanishes (an unplug fault)
        kEnd,     // the session ended for reason; text: what the phone was waiting for
    };
    Kind kind = Kind::kAnswer;
    int64_t at_ns = 0;
    uint8_t byte = 0;
    std::string text;
    EndReason reason = EndReason::kFinished;
};

class PhoneCore {
  public:
    // speeds_known: the bit rate given with the PC's bytes is the one they were sent at (a line
    // in virtual time, or a PC that waits for the phone's answer before it switches speed).
    // Without it the speeds are neither recorded nor checked.
    PhoneCore(const PhoneConfig &config, bool speeds_known);

    // count bytes that have arrived from the PC, sent at bit_rate (0: unknown); the first had
    // fully arrived at first_ns, each further one byte_ns later. Ignored once the session is over.
    void Receive(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_ns,
                 int64_t byte_ns = 0);

    // Does everything that falls due up to now_ns: takes the frames that have arrived, answers
    // them, ends pauses, ends the session. now_ns is never earlier than a byte received.
    void Advance(int64_t now_ns);
    // For a driver in virtual time, where the PC's next bytes exist only once it writes them:
    // does everything the phone can do with what it has, pauses included, however far ahead its
    // moments lie. The idle and linger times do not run out here.
    void RunAhead();

    // The PC's side of a pseudo-terminal echoes from now on: the PC has let go of the line and
    // put its terminal settings back, and writes nothing more. An answer the terminal took in
    // only after that comes back as its echo (0x06 as "^F"), behind everything the PC sent. So
    // bytes received from here on that follow the end of the download are not the PC's and are
    // not held against it; those received before still are.
    void PcEchoes();
    // Whether the PC has let go of the line (closed its port) and everything it wrote before has
    // been received. A phone waiting for a frame then ends (when set to), a pause ends at once
    // (nobody waits for the answer any more), and lingering ends.
    void SetPcLetGo(bool let_go);
    // Stopped from outside, or the line has vanished, at now_ns: the session ends (lingering
    // just stops).
    void Stop(int64_t now_ns);
    void LineGone(int64_t now_ns);

    // What the phone did since the last call, in order.
    std::vector<PhoneEvent> TakeEvents();
    // The next moment at which the phone acts by itself (a pause ends, the idle or linger time
    // runs out); nothing when only the PC or the driver can move it on.
    std::optional<int64_t> NextWakeNs() const;

    // The PC's first byte has come: the download has begun.
    bool Begun() const { return reader_.Received() > 0; }
    // The last answer has been given; the line stays for the PC to read it.
    bool Lingering() const { return phase_ == Phase::kLinger; }
    // Nothing more will happen.
    bool Over() const { return phase_ == Phase::kOver; }

    // What came of the session so far: phases, errors, what was received, counts.
    const Summary &Record() const { return summary_; }
    // The same at the end, judged consistent or not.
    Summary TakeSummary();

  private:
    enum class Phase {
        kTargetByte,
        kLineFrame,
        kLoader,
        kLoaderStart,
        kRequest,
        kCodeSize,
        kCodeBlocks,
        kChecksum,
        kErase,
        kRestart,
        kPersoSize,
        kPersoBlocks,
        kPersoDone,
        kFinished,
        kLinger,
        kOver,
    };

    // What the phone has decided to do, in order: each step after the one before it, its pause
    // counted from there.
    struct Step {
        enum class Kind { kAnswer, kSync, kUnplug, kGate, kEnd };
        Step(Kind kind, Place place, uint32_t pause_ms = 0)
            : kind(kind), place(place), pause_ms(pause_ms) {}
        Kind kind;
        Place place;
        uint32_t pause_ms;
        bool good = true;             // kAnswer: 0x06, else 0x15
        const char *phase = nullptr;  // kSync: reached once the '8' is sent
        std::string text;             // kGate: the answer's name; kEnd: what was waited for
        EndReason reason = EndReason::kGaveUp;
    };

    // A data file in long frames (code file or personalization file).
    struct DataFile {
        const char *name;   // "code file", "personalization file"
        const char *speed;  // its speed phase: "code", "perso"
        Spot size_spot;
        Spot block_spot;
        Spot file_spot;
        bool gate_each_block;  // the PC reads every block's answer before the next block
        std::vector<uint8_t> &image;
        std::optional<uint32_t> &size;
        uint32_t &blocks;
    };
    DataFile CodeFile();
    DataFile PersoFile();

    // One thing done; false when the phone must wait.
    bool StepOnce(int64_t now_ns);
    bool CarryOut(int64_t now_ns);
    bool AwaitFrame(int64_t now_ns);
    std::optional<Frame> TakeFrame();
    void Handle(const Frame &frame);
    void Linger(int64_t now_ns);

    // The phases that take frames.
    void TakeTargetByte(const Frame &frame);
    void TakeLineFrame(const Frame &frame);
    void TakeLoaderFrame(const Frame &frame);
    void ReleaseHeldAtEnd();
    void TakeRequest(const Frame &frame);
    void TakeSizeFrame(const Frame &frame, DataFile file, Phase next);
    void TakeDataBlock(const Frame &frame, DataFile file, Phase next);
    void TakeChecksum(const Frame &frame);
    // The phase after the code file, or after the request byte without one.
    Phase AfterCode() const;

    void CheckSpeed(const Frame &frame, const char *phase, std::optional<uint32_t> expected);
    void CheckOrder(const Frame &frame, const std::string &name);
    std::optional<uint32_t> AnnouncedBitRate() const;
    std::optional<uint32_t> FileBitRate(const DataFile &file) const;

    // Decides the answer to a frame (0x06 when good, else 0x15), with the faults placed there.
    // A withheld answer waits until group_end. gate: the PC must read this answer before it
    // sends on.
    void Acknowledge(Place place, bool good, bool withhold, bool group_end, bool gate);
    // Decides to send '8' after the phone's own pause, with the faults placed there.
    void Synchronise(Place place, uint32_t own_pause_ms, const char *phase);
    void Deliver(const Step &step);
    void SendSync(const Step &step);
    void Send(uint8_t byte);

    std::string WaitingFor() const;
    int64_t IdleDeadline() const;
    void Emit(PhoneEvent::Kind kind, int64_t at_ns, std::string text = {}, uint8_t byte = 0);
    // Records the faults found as errors; true when there were none.
    bool Report(Faults faults);
    void Error(std::string text);
    void Reached(const char *phase);
    void End(EndReason reason, const std::string &waiting_for, int64_t at_ns);
    void EndFromOutside(EndReason reason, int64_t now_ns);

    const PhoneConfig config_;
    const bool speeds_known_;
    FaultPlan plan_;
    FrameReader reader_;
    Summary summary_;
    std::vector<PhoneEvent> events_;
    Phase phase_ = Phase::kTargetByte;
    std::deque<Step> steps_;
    AnswerOrder order_;
    std::vector<Step> held_;             // withheld answers of the current group
    std::set<std::string> slow_phases_;  // speed phases already reported wrong
    bool short_loader_block_seen_ = false;
    bool ended_ = false;
    bool pc_let_go_ = false;
    bool running_ahead_ = false;
    int64_t free_ns_ = 0;          // when the phone has done all it decided so far
    int64_t last_arrival_ns_ = 0;  // when the PC's latest byte arrived
    int64_t linger_until_ns_ = 0;
    std::optional<uint64_t> echo_from_;  // the first byte received once the PC's side echoed
    std::optional<int64_t> last_code_frame_ns_;  // before the personalization file's size frame
};

}  // namespace dekvanto::sim
