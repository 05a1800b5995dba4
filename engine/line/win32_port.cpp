// The serial port on Windows, through the Win32 communications calls.
#include <windows.h>

#include <string>

#include "dekvanto/platform/port_name.h"
#include "line/line_port.h"
#include "line/speed_table.h"
#include "report/engine_texts.h"

namespace dekvanto::engine {
namespace {

constexpr DWORD kQueueBytes = 1600;
constexpr DWORD kPurgeEverything = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kPurgeInput = PURGE_RXABORT | PURGE_RXCLEAR;
// Until the first read sets its own: up to 15 s for a byte.
constexpr DWORD kOpenReadConstantMs = 15000;
// Every timed read is of one byte, so the multiplier counts once.
constexpr DWORD kReadPerByteMs = 25;

static_assert(sizeof(DCB) == 28, "the line settings record is 28 bytes long");

// Read time-outs with the interval at MAXDWORD: a read returns at once with a byte already
// waiting, as soon as one arrives otherwise, or empty once the total time has passed. Writes
// have no time-out.
COMMTIMEOUTS ReadTimeouts(DWORD per_byte_ms, DWORD constant_ms) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = per_byte_ms;
    timeouts.ReadTotalTimeoutConstant = constant_ms;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

// 2400 bit/s, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS on. The fields
// not named here keep what the port reported.
void SetDownloadLine(DCB &dcb) {
    dcb.BaudRate = kOpenBitRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
}

// Errors after which no read on this handle can work again: the adapter was pulled out or the
// device behind the name went away.
bool LineVanished(DWORD error) {
    switch (error) {
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BAD_COMMAND:
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

class Win32Port final : public LinePort {
  public:
    ~Win32Port() override { Release(); }

    int Open(int32_t number) override {
        Release();
        // "\\.\COM<n>", the system's device name, which also reaches ports numbered 10 and up.
        const std::optional<std::string> device = platform::DeviceForPort(number);
        if (!device) {
            return kTextOpenError;
        }
        handle_ = ::CreateFileA(device->c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            return kTextOpenError;
        }
        if (!::SetupComm(handle_, kQueueBytes, kQueueBytes)) {
            return Fail(kTextOpenError);
        }
        ::PurgeComm(handle_, kPurgeEverything);
        if (!::GetCommTimeouts(handle_, &saved_timeouts_)) {
            return Fail(kTextGetTimeouts);
        }
        COMMTIMEOUTS open_set = ReadTimeouts(MAXDWORD, kOpenReadConstantMs);
        if (!::SetCommTimeouts(handle_, &open_set)) {
            return Fail(kTextSetTimeouts);
        }
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof(DCB);
        ::GetCommState(handle_, &dcb_);  // what it leaves unread stays zero
        SetDownloadLine(dcb_);
        if (!::SetCommState(handle_, &dcb_)) {
            return Fail(kTextConfiguration);
        }
        return 0;
    }

    // Only the bit rate changes; the whole record is applied again. A refused rate leaves the
    // record as the line still is.
    bool SetBitRate(uint32_t bits_per_second) override {
        if (!IsOpen()) {
            return false;
        }
        const DWORD previous = dcb_.BaudRate;
        dcb_.BaudRate = bits_per_second;
        if (!::SetCommState(handle_, &dcb_)) {
            dcb_.BaudRate = previous;
            return false;
        }
        return true;
    }

    // A line without modem lines (a pseudo-terminal behind the name) refuses the call as not
    // supported; there is no DTR to raise or drop then, and nothing has failed.
    bool SetDtr(bool raised) override {
        if (!IsOpen()) {
            return false;
        }
        return ::EscapeCommFunction(handle_, raised ? SETDTR : CLRDTR) != 0 ||
               ::GetLastError() == ERROR_NOT_SUPPORTED;
    }

    // The port's own time-outs, as Open found them.
    bool Restore() override { return IsOpen() && ::SetCommTimeouts(handle_, &saved_timeouts_); }

    // Only what waits to be read is thrown away. Every write has returned by now, and a write
    // returns once the driver has the bytes: clearing the output side as well could cut off
    // the end of the last frame before it is on the wire (an adapter or a pseudo-terminal that
    // still holds it).
    bool Purge() override { return IsOpen() && ::PurgeComm(handle_, kPurgeInput); }

    void Release() override {
        if (IsOpen()) {
            ::CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    bool Write(const uint8_t *data, uint32_t count, uint32_t &written) override {
        written = 0;
        if (!IsOpen()) {
            return false;
        }
        OVERLAPPED unused{};  // the handle is not overlapped: the call blocks until all is taken
        DWORD taken = 0;
        const BOOL ok = ::WriteFile(handle_, data, count, &taken, &unused);
        written = taken;
        return ok != 0;
    }

    bool Drain() override { return IsOpen() && ::FlushFileBuffers(handle_) != 0; }

    bool SetReadTimeout(uint32_t constant_ms) override {
        if (!IsOpen()) {
            return false;
        }
        COMMTIMEOUTS timeouts = ReadTimeouts(kReadPerByteMs, constant_ms);
        return ::SetCommTimeouts(handle_, &timeouts) != 0;
    }

    ReadOutcome ReadByte(uint8_t &byte) override {
        if (!IsOpen()) {
            return ReadOutcome::kGone;
        }
        DWORD got = 0;
        if (!::ReadFile(handle_, &byte, 1, &got, nullptr)) {
            return LineVanished(::GetLastError()) ? ReadOutcome::kGone : ReadOutcome::kFailed;
        }
        return got == 1 ? ReadOutcome::kByte : ReadOutcome::kNothing;
    }

  private:
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    int Fail(int text_id) {
        Release();
        return text_id;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    COMMTIMEOUTS saved_timeouts_{};
};

}  // namespace

std::unique_ptr<LinePort> MakeSystemLinePort() {
    return std::make_unique<Win32Port>();
}

}  // namespace dekvanto::engine
