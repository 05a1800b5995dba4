// The download's serial line: opening and closing the port, speed switches, DTR, writes, the
// timed acknowledgement read and the wait for the phone's synchronisation character '8'.
// There is one line per download; it owns the port while open and reports line failures through
// ComError.
#pragma once

#include <cstdint>

#include "clock/clock.h"
#include "line/com_error.h"
#include "line/line_port.h"

namespace dekvanto::engine {

// The phone's answers.
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kSync = '8';

// Results of ReadAck.
enum AckResult : int { kAcknowledged = 0, kWrongByte = 1, kNoAnswer = 2 };

class SerialLine {
  public:
    SerialLine(LinePort &port, Clock &clock, const ComError &com_error)
        : port_(port), clock_(clock), com_error_(com_error) {}
    ~SerialLine();

    // Opens port COM<number> at 2400 bit/s, 8N1, DTR and RTS on. False (after message 10-13)
    // when the port cannot be opened or configured; nothing is then held.
    bool Open(int32_t number);
    // Switches the line to the speed of index 0..3, once every byte written before has left (a
    // byte still on its way would go out garbled). Any other index: message 14, false, the line
    // unchanged; a refused speed: message 13, false. A failed drain: false with WriteFailed(),
    // no message, the line unchanged.
    bool SetSpeed(int32_t index);
    // Raises DTR (message 15 on failure).
    void SetDtr();
    // Waits until every byte written so far has left the port, then drops DTR, puts the port's
    // own settings back, purges both queues and lets the port go; each step runs whatever the
    // previous one gave (messages 15, 16, 17). A failed drain shows as WriteFailed(). Harmless
    // when closed.
    void Close();
    bool IsOpen() const { return open_; }

    // Writes count bytes; written receives the number taken. True only when all were taken.
    // Returns once the driver has them: the frames of a group queue back to back on the line.
    bool Write(const uint8_t *data, uint32_t count, uint32_t &written);
    // Returns once every byte written so far has left the port: before a pause that the phone
    // needs after the bytes, before a speed switch and before close. False when the line failed
    // or has vanished; WriteFailed() then holds until the next Open.
    bool Drain();
    // Reads one acknowledgement byte into *byte within 125 ms: kAcknowledged for 0x06,
    // kWrongByte for any other byte, kNoAnswer for nothing.
    int ReadAck(uint8_t *byte);
    // Waits up to about wait_ms + 75 ms for one byte; true when it is '8'. Any other byte is
    // consumed and ends the wait at once.
    bool WaitSync(uint32_t wait_ms);
    // Writes the bytes, then, when wait is 1, reads the acknowledgement into data[0]:
    // 1 = written and no acknowledgement asked for, 0 = acknowledged, -1 = wrong byte or none.
    int8_t SendAck(uint8_t *data, uint32_t count, int32_t wait);

    // True once a write failed or took fewer bytes, or a drain failed, since the port was opened.
    bool WriteFailed() const { return write_failed_; }

  private:
    LinePort &port_;
    Clock &clock_;
    const ComError &com_error_;
    bool open_ = false;
    bool write_failed_ = false;
};

}  // namespace dekvanto::engine
