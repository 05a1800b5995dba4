// What the phone has received from the PC, and the frames it cuts out of it.
//
// Bytes are appended as they are read from the line, each batch tagged with the line speed the
// PC side had set and the time when the batch was read. The phone then takes frames from the
// front in the three formats of the protocol:
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
    uint64_t start = 0;      // position of its first byte in everything received
    uint32_t bit_rate = 0;   // line speed when its first byte was read (0: unknown)
    int64_t arrival_ms = 0;  // steady-clock milliseconds when its first byte was read
    uint32_t length = 0;     // payload length (from the length field; 1 for a single byte)
    std::vector<uint8_t> payload;
    bool has_check = false;  // single bytes have none
    uint8_t check = 0;       // the check byte received
    uint8_t expected = 0;    // the XOR of the bytes before it
    bool CheckOk() const { return !has_check || check == expected; }
};

class FrameReader {
  public:
    // Appends bytes read from the line at bit_rate, at time_ms.
    void Append(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t time_ms);

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
        int64_t time_ms;
    };

    std::optional<Frame> TakeFramed(size_t length_bytes);
    Frame Begin() const;
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
