// One serial port of the machine, as the engine's line operations need it. Each operating system
// has its own implementation in a file of its own; tests use scripted doubles.
#pragma once

#include <cstdint>
#include <memory>

namespace dekvanto::engine {

// What one timed read of one byte gave.
enum class ReadOutcome {
    kByte,     // one byte was read
    kNothing,  // the time-out ran out with nothing received
    kFailed,   // the read failed; trying again later may work
    kGone,     // the line has vanished (device removed, other end hung up); no read will work again
};

class LinePort {
  public:
    virtual ~LinePort() = default;

    // Opens port COM<number> exclusively and configures it: both queues 1600 bytes and flushed,
    // the port's own settings and time-outs saved for Restore, 2400 bit/s, 8 data bits, no
    // parity, one stop bit, no flow control, DTR and RTS on. Each system names the port's device
    // itself: "\\.\COM<n>" on Windows, the port register's entry on POSIX. Any number may come
    // (the caller does not check it); one without a device does not open. Returns 0, or the
    // engine text identifier of the step that failed (10 open/queues, 11 saving the time-outs,
    // 12 first time-outs, 13 line settings); after a failure the port is released again.
    virtual int Open(int32_t number) = 0;
    // Applies the whole line settings again with a new bit rate. False: the old rate stays.
    virtual bool SetBitRate(uint32_t bits_per_second) = 0;
    // Raises or drops DTR. A line without modem lines (a pseudo-terminal) reports success.
    virtual bool SetDtr(bool raised) = 0;
    // Puts back the settings and time-outs saved by Open.
    virtual bool Restore() = 0;
    // Discards what waits to be read. Written bytes are never discarded: a write returns only
    // once they have been handed on.
    virtual bool Purge() = 0;
    // Lets the port go; nothing else may be called until the next Open.
    virtual void Release() = 0;

    // Writes count bytes; returns when the driver has taken them. False on failure; written
    // holds the number of bytes taken.
    virtual bool Write(const uint8_t *data, uint32_t count, uint32_t &written) = 0;
    // Returns once every byte written so far has left the port. False when the line failed or
    // has vanished.
    virtual bool Drain() = 0;
    // Sets the time-out of the following one-byte reads: each returns as soon as a byte is
    // there, or empty after 25 + constant_ms milliseconds.
    virtual bool SetReadTimeout(uint32_t constant_ms) = 0;
    // Reads one byte within the time-out in force. Never spins the processor.
    virtual ReadOutcome ReadByte(uint8_t &byte) = 0;
};

// The serial port implementation of this operating system.
std::unique_ptr<LinePort> MakeSystemLinePort();

}  // namespace dekvanto::engine
