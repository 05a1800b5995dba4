#include "ideal_time.h"

#include <algorithm>

#include "dekvanto/mx40.h"

namespace dekvanto::engine::testing {
namespace {

constexpr int64_t kNsPerMs = 1'000'000;

int64_t ByteNs(uint32_t bit_rate) {
    return 10'000'000'000LL / bit_rate;
}

// The PC, the line in both directions and the phone, with nothing lost anywhere.
class IdealLine {
  public:
    IdealLine(const DownloadShape &shape, IdealTime &out) : shape_(shape), out_(out) {}

    void Phase(int32_t phase) {
        out_.phase_ns[phase_] += pc_ - phase_mark_;
        phase_mark_ = pc_;
        phase_ = phase;
    }
    void Speed(uint32_t bit_rate) {
        pc_ = std::max(pc_, tx_free_);  // the bytes before the switch have left
        bit_rate_ = bit_rate;
    }
    // The PC sends count bytes; the phone has them when the last one has arrived.
    void Send(uint32_t count) {
        int64_t start = std::max(pc_, tx_free_);
        if (turn_) {
            start += Latency();
        }
        turn_ = false;
        tx_free_ = start + int64_t{count} * ByteNs(bit_rate_);
        out_.line_bytes += count;
    }
    // The phone answers the bytes sent last, delay_ms after they arrived (or after its previous
    // answer); returns when the answer has reached the PC.
    int64_t Answer(uint32_t delay_ms = 0) {
        phone_ = std::max(phone_, tx_free_) + int64_t{delay_ms} * kNsPerMs;
        rx_free_ = std::max(phone_ + Latency(), rx_free_) + ByteNs(bit_rate_);
        return rx_free_;
    }
    // The PC waits for an answer.
    void Await(int64_t at) {
        pc_ = std::max(pc_, at);
        turn_ = true;
        ++out_.round_trips;
    }
    void Pause(uint32_t ms) { pc_ = std::max(pc_, tx_free_) + int64_t{ms} * kNsPerMs; }

    // A file in blocks of block_max bytes plus overhead bytes each, the answers awaited in
    // groups of group blocks.
    void Blocks(uint32_t size, uint32_t block_max, uint32_t overhead, uint32_t group) {
        uint32_t pending = 0;
        int64_t last = 0;
        for (uint32_t offset = 0; offset < size;) {
            const uint32_t n = std::min(size - offset, block_max);
            offset += n;
            Send(n + overhead);
            last = Answer();
            if (++pending == group || offset == size) {
                Await(last);
                pending = 0;
            }
        }
    }

    int64_t Now() const { return pc_; }

  private:
    int64_t Latency() const { return int64_t{shape_.latency_us} * 1000; }

    const DownloadShape &shape_;
    IdealTime &out_;
    uint32_t bit_rate_ = 2400;
    int64_t pc_ = 0;
    int64_t tx_free_ = 0;
    int64_t rx_free_ = 0;
    int64_t phone_ = 0;
    bool turn_ = false;
    int32_t phase_ = MX40_PHASE_LINE_SETUP;
    int64_t phase_mark_ = 0;
};

}  // namespace

IdealTime ComputeIdealTime(const DownloadShape &shape) {
    IdealTime ideal;
    IdealLine line(shape, ideal);
    const auto &phone = shape.phone;

    line.Send(1);  // memory target byte
    line.Pause(100);
    line.Send(8);  // line setup frame
    line.Await(line.Answer());
    line.Pause(100);
    line.Speed(shape.bit_rate);
    line.Phase(MX40_PHASE_LOADER);
    line.Pause(5);
    line.Blocks(shape.loader_bytes, 32, 2, 5);
    line.Send(2);  // end frame
    line.Await(line.Answer(phone.loader_start_ms));
    line.Phase(MX40_PHASE_REQUEST);
    line.Pause(5);
    line.Send(1);  // download request byte
    if (shape.code_bytes > 0) {
        line.Phase(MX40_PHASE_CODE);
        line.Send(7);  // size frame
        line.Await(line.Answer());
        line.Blocks(shape.code_bytes, 256, 3, 5);
        line.Send(5);  // checksum frame
        line.Await(line.Answer());
        line.Phase(MX40_PHASE_ERASE);
        line.Await(line.Answer(phone.erase_start_ms));
        line.Await(line.Answer(phone.erase_end_ms));
    }
    if (shape.perso_bytes > 0) {
        line.Phase(MX40_PHASE_RESTART);
        line.Await(line.Answer(phone.restart_ms));
        line.Phase(MX40_PHASE_PERSO);
        line.Speed(115200);
        line.Send(7);  // size frame
        line.Await(line.Answer());
        line.Blocks(shape.perso_bytes, 256, 3, 1);
        line.Await(line.Answer(phone.perso_done_ms));
    }
    line.Phase(MX40_PHASE_PERSO);
    ideal.total_ns = line.Now();
    return ideal;
}

}  // namespace dekvanto::engine::testing
