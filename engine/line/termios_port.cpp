// The serial port on POSIX systems, over termios.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "dekvanto/platform/port_device.h"
#include "dekvanto/platform/port_name.h"
#include "dekvanto/platform/termios_speed.h"
#include "line/line_port.h"
#include "line/speed_table.h"
#include "report/engine_texts.h"

namespace dekvanto::engine {
namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool NoModemLines(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOTSUP;
}

class TermiosPort final : public LinePort {
  public:
    ~TermiosPort() override {
        if (fd_ >= 0) {
            Release();
        }
    }

    int Open(int32_t number) override {
        Release();
        const auto path = platform::DeviceForPort(number);
        if (!path) {
            return kTextOpenError;
        }
        fd_ = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            return kTextOpenError;
        }
        // Exclusive for the whole download: no second program may share the line.
        held_ = platform::HoldDevice(fd_);
        if (!held_) {
            return Fail(kTextOpenError);
        }
        ::tcflush(fd_, TCIOFLUSH);
        if (::tcgetattr(fd_, &saved_) != 0) {
            return Fail(kTextGetTimeouts);
        }
        timeout_ms_ = 15000;
        settings_ = saved_;
        ::cfmakeraw(&settings_);
        settings_.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings_.c_cflag |= CS8 | CREAD | CLOCAL;
        settings_.c_iflag &= ~(IXON | IXOFF | IXANY);
        settings_.c_cc[VMIN] = 0;
        settings_.c_cc[VTIME] = 0;
        settings_.c_cc[VSTART] = 0x11;
        settings_.c_cc[VSTOP] = 0x13;
        if (!Apply(kOpenBitRate)) {
            return Fail(kTextConfiguration);
        }
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(fd_, TIOCMBIS, &lines) != 0 && !NoModemLines(errno)) {
            return Fail(kTextConfiguration);
        }
        AskLowLatency();
        return 0;
    }

    bool SetBitRate(uint32_t bits_per_second) override {
        return fd_ >= 0 && Apply(bits_per_second);
    }

    bool SetDtr(bool raised) override {
        if (fd_ < 0) {
            return false;
        }
        int lines = TIOCM_DTR;
        if (::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &lines) == 0) {
            return true;
        }
        return NoModemLines(errno);
    }

    bool Restore() override {
        GiveBackLowLatency();
        return fd_ >= 0 && ::tcsetattr(fd_, TCSANOW, &saved_) == 0;
    }

    // The line is drained before it is closed, so only unread input is left to discard.
    // Flushing output as well would throw away bytes that a pseudo-terminal has not passed on
    // yet: the end of the last frame would be lost.
    bool Purge() override { return fd_ >= 0 && ::tcflush(fd_, TCIFLUSH) == 0; }

    void Release() override {
        if (fd_ >= 0) {
            GiveBackLowLatency();
            if (held_) {
                platform::ReleaseDevice(fd_);  // never another program's hold
                held_ = false;
            }
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool Write(const uint8_t *data, uint32_t count, uint32_t &written) override {
        written = 0;
        if (fd_ < 0) {
            return false;
        }
        while (written < count) {
            const ssize_t n = ::write(fd_, data + written, count - written);
            if (n > 0) {
                written += static_cast<uint32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN && WaitWritable()) {
                continue;
            }
            return false;
        }
        // No drain here: the frames of a group queue back to back. The serial line drains where
        // it matters (before a speed switch, a pause of the phone's, and close).
        return true;
    }

    bool Drain() override {
        if (fd_ < 0) {
            return false;
        }
        while (::tcdrain(fd_) != 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    bool SetReadTimeout(uint32_t constant_ms) override {
        timeout_ms_ = constant_ms;
        return fd_ >= 0;
    }

    ReadOutcome ReadByte(uint8_t &byte) override {
        if (fd_ < 0) {
            return ReadOutcome::kGone;
        }
        const int64_t deadline = NowMs() + 25 + static_cast<int64_t>(timeout_ms_);
        bool hung_up = false;
        for (;;) {
            const ssize_t n = ::read(fd_, &byte, 1);
            if (n == 1) {
                return ReadOutcome::kByte;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return errno == EIO || errno == ENXIO || errno == ENODEV ? ReadOutcome::kGone
                                                                         : ReadOutcome::kFailed;
            }
            if (hung_up) {
                return ReadOutcome::kGone;  // the other end hung up and nothing is left to read
            }
            const int64_t left = deadline - NowMs();
            if (left <= 0) {
                return ReadOutcome::kNothing;
            }
            pollfd watch{fd_, POLLIN, 0};
            const int ready = ::poll(&watch, 1, static_cast<int>(left));
            if (ready < 0 && errno != EINTR) {
                return ReadOutcome::kFailed;
            }
            hung_up = ready > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        }
    }

  private:
    // USB serial adapters hold small answers back for their latency timer; the driver's
    // low-latency flag (where the driver offers it) makes them pass answers on at once. A line
    // without it (a pseudo-terminal, most built-in UARTs) is left as it is.
    void AskLowLatency() {
#ifdef __linux__
        serial_struct serial{};
        if (::ioctl(fd_, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) {
            return;
        }
        serial.flags |= ASYNC_LOW_LATENCY;
        low_latency_set_ = ::ioctl(fd_, TIOCSSERIAL, &serial) == 0;
#endif
    }

    void GiveBackLowLatency() {
#ifdef __linux__
        if (!low_latency_set_ || fd_ < 0) {
            return;
        }
        low_latency_set_ = false;
        serial_struct serial{};
        if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
            serial.flags &= ~ASYNC_LOW_LATENCY;
            ::ioctl(fd_, TIOCSSERIAL, &serial);
        }
#endif
    }

    int Fail(int text_id) {
        Release();
        return text_id;
    }

    bool Apply(uint32_t bits_per_second) {
        const std::optional<speed_t> constant = platform::TermiosSpeedOf(bits_per_second);
        if (!constant) {
            return false;
        }
        const speed_t speed = *constant;
        termios wanted = settings_;
        if (::cfsetispeed(&wanted, speed) != 0 || ::cfsetospeed(&wanted, speed) != 0 ||
            ::tcsetattr(fd_, TCSANOW, &wanted) != 0) {
            return false;
        }
        termios in_force{};
        if (::tcgetattr(fd_, &in_force) != 0 || ::cfgetospeed(&in_force) != speed) {
            ::tcsetattr(fd_, TCSANOW, &settings_);
            return false;
        }
        settings_ = wanted;
        return true;
    }

    bool WaitWritable() {
        pollfd watch{fd_, POLLOUT, 0};
        for (;;) {
            const int ready = ::poll(&watch, 1, -1);
            if (ready > 0) {
                return (watch.revents & POLLOUT) != 0;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    int fd_ = -1;
    bool held_ = false;             // the exclusive hold is this port's, to be given back
    bool low_latency_set_ = false;  // set by this port at open, to be given back at close
    termios saved_{};
    termios settings_{};
    uint32_t timeout_ms_ = 15000;
};

}  // namespace

std::unique_ptr<LinePort> MakeSystemLinePort() {
    return std::make_unique<TermiosPort>();
}

}  // namespace dekvanto::engine
