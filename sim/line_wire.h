// The serial line between the PC and the phone as a real cable and adapter would time it.
//
// Without it the pseudo-terminal hands every byte over at once. With it each byte costs ten bit
// times (start bit, eight data bits, stop bit) at the speed the PC side has set, in both
// directions:
//   PC to phone  bytes are taken off the pseudo-terminal as they come and go on the line back
//                to back; each read reaches the phone whole once its last byte would have
//                arrived, with the arrival time of every byte, so that answers are dated from the
//                frame they answer. After a turn-around (the line from the PC was idle and the
//                phone has answered since its last byte) the first byte starts the adapter
//                latency later.
//   phone to PC  each answer reaches the PC the adapter latency plus its own byte time after the
//                phone sent it, the way a USB adapter holds small answers back for its latency
//                timer; answers never overtake each other.
// At most kRoom bytes are on their way to the phone at a time, so a PC that writes ahead is held
// back by the pseudo-terminal's buffers as it would be by a real line.
//
// Times are steady-clock nanoseconds given by the caller, so the timing itself can be tested
// without a clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace dekvanto::sim {

struct WireTiming {
    bool enabled = false;
    // Delay at each change of direction, in microseconds (1 ms: a USB adapter with a short
    // latency timer; 16 ms: the common default).
    uint32_t latency_us = 1000;
};

// Nanoseconds one byte takes on the line at bit_rate; 0 when the speed is unknown.
int64_t ByteTimeNs(uint32_t bit_rate);

class LineWire {
  public:
    static constexpr size_t kRoom = 4096;

    explicit LineWire(WireTiming timing) : timing_(timing) {}

    bool Enabled() const { return timing_.enabled; }

    // PC to phone. Bytes the wire may still take in.
    size_t Room() const { return kRoom - in_flight_; }
    // Puts count bytes, read from the pseudo-terminal at now_ns while the PC's side was set to
    // bit_rate, on their way.
    void TakeIn(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t now_ns);
    // The reads from the PC whose last byte has fully arrived by now_ns, one batch each.
    struct Batch {
        std::vector<uint8_t> bytes;
        uint32_t bit_rate = 0;
        int64_t first_arrival_ns = 0;  // when its first byte had fully arrived
        int64_t byte_ns = 0;           // one byte time: the next bytes follow this far apart
    };
    std::vector<Batch> TakeArrived(int64_t now_ns);
    bool InFlight() const { return in_flight_ > 0; }

    // Phone to PC. The phone sends byte at now_ns with the line at bit_rate.
    void Answer(uint8_t byte, uint32_t bit_rate, int64_t now_ns);
    // The answers that have reached the PC's side by now_ns, in order.
    std::vector<uint8_t> TakeDueAnswers(int64_t now_ns);
    bool AnswersPending() const { return !answers_.empty(); }

    // The next moment worth waking for: the last byte of what was read from the PC in one go
    // has arrived, or an answer falls due; nothing when none is on its way. (Waking for every
    // byte would cost more than the line.)
    std::optional<int64_t> NextDueNs() const;

  private:
    struct Chunk {
        std::vector<uint8_t> bytes;
        uint32_t bit_rate = 0;
        int64_t start_ns = 0;  // when its first byte starts on the line
        int64_t byte_ns = 0;
        int64_t ArrivalOf(size_t index) const {
            return start_ns + static_cast<int64_t>(index + 1) * byte_ns;
        }
    };
    struct Due {
        int64_t at_ns;
        uint8_t byte;
    };

    WireTiming timing_;
    std::deque<Chunk> chunks_;
    size_t in_flight_ = 0;
    int64_t rx_free_ns_ = 0;  // when the line from the PC is free again
    bool answered_since_rx_ = false;
    std::deque<Due> answers_;
    int64_t tx_free_ns_ = 0;  // when the last answer has reached the PC
};

}  // namespace dekvanto::sim
