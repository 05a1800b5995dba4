// The phone's side of a download in virtual time, for the line model: it takes the PC's bytes
// with the moment each one has fully arrived, cuts them into frames with the simulator's frame
// reader, checks them, and answers as the phone would (0x06, 0x15 for a damaged frame, '8' when a
// step is finished, after the phone's own delays). It never reads the engine's frame builders.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/frame_reader.h"

namespace dekvanto::engine::testing {

// The phone's own pauses before its '8's, in milliseconds (the simulator's defaults).
struct PhoneTimes {
    uint32_t loader_start_ms = 10;
    uint32_t erase_start_ms = 50;
    uint32_t erase_end_ms = 50;
    uint32_t restart_ms = 50;
    uint32_t perso_done_ms = 10;
};

class VirtualPhone {
  public:
    explicit VirtualPhone(PhoneTimes times) : times_(times) {}

    // count bytes sent at bit_rate; the first has fully arrived at first_arrival_ns, each further
    // one byte_ns later.
    void Receive(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_arrival_ns,
                 int64_t byte_ns);

    // An answer and the moment the phone sends it.
    struct Answer {
        int64_t send_ns;
        uint8_t byte;
    };
    // The answers given since the last call, in order.
    std::vector<Answer> TakeAnswers();

    // True once the last answer of the download has been given.
    bool Complete() const { return phase_ == Phase::kDone; }
    // What was found wrong, in the order found.
    const std::vector<std::string> &Errors() const { return errors_; }

    std::vector<uint8_t> loader, code, perso;
    int code_blocks = 0;
    int perso_blocks = 0;

  private:
    enum class Phase {
        kTarget,
        kLine,
        kLoader,
        kRequest,
        kCodeSize,
        kCodeBlocks,
        kChecksum,
        kPersoSize,
        kPersoBlocks,
        kDone
    };

    // Handles the next complete frame; false when none is complete yet.
    bool HandleFrame();
    bool HandleLoaderFrame(const dekvanto::sim::Frame &frame);
    bool HandleRequest(const dekvanto::sim::Frame &frame);
    void HandleSize(const dekvanto::sim::Frame &frame, uint32_t &size, Phase next);
    void HandleBlock(const dekvanto::sim::Frame &frame, std::vector<uint8_t> &image, uint32_t size,
                     int &blocks);
    void HandleChecksum(const dekvanto::sim::Frame &frame);
    // Checks a frame's speed and check byte; false when it is damaged.
    bool Check(const dekvanto::sim::Frame &frame, uint32_t expected_rate, const char *name);
    // Sends byte delay_ms after the frame just taken has arrived (or the phone's last answer).
    void Send(uint8_t byte, uint32_t delay_ms = 0);
    int64_t ArrivalOfLastTaken() const;

    PhoneTimes times_;
    dekvanto::sim::FrameReader reader_;
    Phase phase_ = Phase::kTarget;
    uint32_t announced_rate_ = 0;
    uint8_t flags_ = 0;
    uint32_t code_size_ = 0;
    uint32_t perso_size_ = 0;
    int64_t clock_ns_ = 0;  // when the phone last acted
    uint64_t batch_first_ = 0;
    int64_t batch_first_arrival_ns_ = 0;
    int64_t batch_byte_ns_ = 0;
    std::vector<Answer> answers_;
    std::vector<std::string> errors_;
};

}  // namespace dekvanto::engine::testing
