// What the phone has received from the PC, and the frames it cuts out of it.
//
// Bytes are appended as they come off the line, each batch tagged with the line speed the PC side
// had set and the moment each byte had fully arrived (the batch's first byte, then one byte time
// apart). The phone then takes frames from the front in the three formats of the protocol:
//   single byte   one command byte, no length, no check byte
//   short frame   length L (1 byte), L bytes, check byte
//   long frame    length L (2 bytes, low byte first), L bytes, check byte
// The check byte is the XOR of every byte of the frame before it, length bytes included.
// A frame is taken only once all its bytes have arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace dekvanto::sim {

struct Frame {
    uint64_t start = 0;     // position of its first byte in everything received
    uint32_t bit_rate = 0;  // line speed when its first byte was read (0: unknown)
    int64_t first_ns = 0;   // when its first byte had arrived, in the driver's nanoseconds
    int64_t last_ns = 0;    // when its last byte had arrived: the phone can act on it from then
    uint32_t length = 0;    // payload length (from the length field; 1 for a single byte)
    std::vector<uint8_t> payload;
    bool has_check = false;  // single bytes have none
    uint8_t check = 0;       // the check byte received
    uint8_t expected = 0;    // the XOR of the bytes before it
    bool CheckOk() const { return !has_check || check == expected; }
};

class FrameReader {
  public:
    // Appends count bytes sent at bit_rate; the first had arrived at first_ns, each further one
    // byte_ns later (0 when they all came in one read).
    void Append(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_ns,
                int64_t byte_ns = 0);

    uint64_t Received() const { return received_; }   // bytes appended so far
    uint64_t Position() const { return position_; }   // bytes taken so far
    size_t Pending() const { return bytes_.size(); }  // appended, not yet taken

    // Each returns nothing (and takes nothing) until the whole frame is there.
    std::optional<Frame> TakeByte();
    std::optional<Frame> TakeShortFrame();
    std::optional<Frame> TakeLongFrame();

    // Takes every pending byte, whatever it is.
    std::vector<uint8_t> TakeAll();

  private:
    struct Batch {
        uint64_t start;
        uint32_t bit_rate;
        int64_t first_ns;
        int64_t byte_ns;
    };

    std::optional<Frame> TakeFramed(size_t length_bytes);
    // A frame of total bytes from the front, dated and tagged, without its contents.
    Frame Begin(size_t total) const;
    int64_t ArrivalOf(uint64_t position) const;
    void Drop(size_t count);

    std::deque<uint8_t> bytes_;
    std::deque<Batch> batches_;
    uint64_t received_ = 0;
    uint64_t position_ = 0;
};

// The XOR of count bytes.
uint8_t XorOf(const uint8_t *data, size_t count);

// The flash loader's 16-bit file check: 0xFFFF minus the sum of the bytes, modulo 65536.
uint16_t Sum16(const std::vector<uint8_t> &data);

}  // namespace dekvanto::sim
