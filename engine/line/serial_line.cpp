#include "line/serial_line.h"

#include "line/speed_table.h"
#include "report/engine_texts.h"

namespace dekvanto::engine {
namespace {

constexpr uint32_t kAckTimeoutMs = 100;
constexpr uint32_t kSyncExtraMs = 50;

}  // namespace

SerialLine::~SerialLine() {
    Close();
}

bool SerialLine::Open(int32_t number) {
    write_failed_ = false;
    const int failed_step = port_.Open(number);
    if (failed_step != 0) {
        com_error_(failed_step);
        return false;
    }
    open_ = true;
    return true;
}

bool SerialLine::SetSpeed(int32_t index) {
    const std::optional<uint32_t> bit_rate = BitRateOfSpeedIndex(index);
    if (!bit_rate) {
        com_error_(kTextSpeedNotSupported);
        return false;
    }
    if (!Drain()) {
        return false;
    }
    if (!port_.SetBitRate(*bit_rate)) {
        com_error_(kTextConfiguration);
        return false;
    }
    return true;
}

void SerialLine::SetDtr() {
    if (!port_.SetDtr(true)) {
        com_error_(kTextDtr);
    }
}

void SerialLine::Close() {
    if (!open_) {
        return;
    }
    Drain();  // closing must not throw away what is still on its way
    if (!port_.SetDtr(false)) {
        com_error_(kTextDtr);
    }
    if (!port_.Restore()) {
        com_error_(kTextRestoreTimeouts);
    }
    if (!port_.Purge()) {
        com_error_(kTextPurge);
    }
    port_.Release();
    open_ = false;
}

bool SerialLine::Write(const uint8_t *data, uint32_t count, uint32_t &written) {
    const bool whole = port_.Write(data, count, written) && written == count;
    if (!whole) {
        write_failed_ = true;
    }
    return whole;
}

bool SerialLine::Drain() {
    if (!port_.Drain()) {
        write_failed_ = true;
        return false;
    }
    return true;
}

int SerialLine::ReadAck(uint8_t *byte) {
    if (!port_.SetReadTimeout(kAckTimeoutMs)) {
        com_error_(kTextSetTimeouts);
    }
    if (port_.ReadByte(*byte) != ReadOutcome::kByte) {
        return kNoAnswer;
    }
    return *byte == kAck ? kAcknowledged : kWrongByte;
}

bool SerialLine::WaitSync(uint32_t wait_ms) {
    const uint32_t start = clock_.TickMs();
    if (!port_.SetReadTimeout(wait_ms + kSyncExtraMs)) {
        com_error_(kTextSetTimeouts);
    }
    uint8_t byte = 0;
    for (;;) {
        const ReadOutcome outcome = port_.ReadByte(byte);
        if (outcome == ReadOutcome::kByte) {
            return byte == kSync;
        }
        if (outcome == ReadOutcome::kNothing) {
            return false;
        }
        if (outcome == ReadOutcome::kGone) {
            return false;  // the line has vanished: no later read can bring the character
        }
        if (clock_.TickMs() - start >= wait_ms) {
            return false;
        }
        clock_.SleepMs(1);  // a failing read is tried again, but never in a tight loop
    }
}

int8_t SerialLine::SendAck(uint8_t *data, uint32_t count, int32_t wait) {
    uint32_t written = 0;
    Write(data, count, written);
    if (wait != 1) {
        return 1;
    }
    return ReadAck(&data[0]) == kAcknowledged ? 0 : -1;
}

}  // namespace dekvanto::engine
