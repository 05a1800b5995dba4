#include "pc_side.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace dekvanto::simtest {
namespace {

// Only a broken phone is ever waited for this long.
constexpr int kHangGuardMs = 60000;

speed_t SpeedConstant(uint32_t bit_rate) {
    switch (bit_rate) {
        case 2400:
            return B2400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B460800;
    }
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Expect(PcLine &pc, uint8_t wanted, const std::string &where) {
    const auto got = pc.Read();
    if (got == wanted) {
        return "";
    }
    return where + ": " + (got ? "got " + std::to_string(*got) : std::string("no answer"));
}

// Sends blocks and reads their answers: after every group_size blocks and after the last.
std::string SendBlocks(PcLine &pc, const Download &d, const Bytes &data, size_t block_size,
                       bool long_frames, size_t group_size, const std::string &what) {
    size_t pending = 0;
    for (size_t offset = 0, block = 1; offset < data.size(); offset += block_size, ++block) {
        const size_t n = std::min(block_size, data.size() - offset);
        const Bytes payload(data.begin() + offset, data.begin() + offset + n);
        pc.Send(long_frames ? LongFrame(payload) : ShortFrame(payload));
        ++pending;
        const bool last = offset + n >= data.size();
        if (d.acknowledged && (pending == group_size || last)) {
            for (; pending > 0; --pending) {
                if (auto e = Expect(pc, 0x06, what + " block " + std::to_string(block));
                    !e.empty()) {
                    return e;
                }
            }
        }
    }
    return "";
}

std::string AwaitSync(PcLine &pc, const Download &d, const std::string &what) {
    return d.acknowledged ? Expect(pc, '8', what) : "";
}

}  // namespace

Bytes ShortFrame(const Bytes &payload) {
    Bytes frame{static_cast<uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint8_t check = 0;
    for (const uint8_t b : frame) {
        check ^= b;
    }
    frame.push_back(check);
    return frame;
}

Bytes LongFrame(const Bytes &payload) {
    Bytes frame{static_cast<uint8_t>(payload.size()), static_cast<uint8_t>(payload.size() >> 8)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint8_t check = 0;
    for (const uint8_t b : frame) {
        check ^= b;
    }
    frame.push_back(check);
    return frame;
}

Bytes SizeFrame(uint32_t size) {
    return LongFrame({uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
}

Bytes SumFrame(uint16_t sum) {
    return LongFrame({uint8_t(sum), uint8_t(sum >> 8)});
}

uint16_t FileSum(const Bytes &data) {
    unsigned sum = 0;
    for (const uint8_t b : data) {
        sum += b;
    }
    return static_cast<uint16_t>(0xFFFF - sum);
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    }
    return data;
}

PcLine::PcLine(const std::string &path, bool exclusive) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    // As a downloader does when it opens its port: answers left from an earlier attempt that
    // were never read do not count for this one.
    ::tcflush(fd_, TCIOFLUSH);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd_, TCSANOW, &t);
    SetSpeed(2400);
    if (exclusive) {
        ::ioctl(fd_, TIOCEXCL);
    }
}

PcLine::~PcLine() {
    Close();
}

void PcLine::SetSpeed(uint32_t bit_rate) {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfsetispeed(&t, SpeedConstant(bit_rate));
    ::cfsetospeed(&t, SpeedConstant(bit_rate));
    ::tcsetattr(fd_, TCSANOW, &t);
}

void PcLine::Send(const Bytes &bytes) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd watch{fd_, POLLOUT, 0};
            ::poll(&watch, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

std::optional<uint8_t> PcLine::Read() {
    pollfd watch{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&watch, 1, kHangGuardMs) <= 0) {
        return std::nullopt;
    }
    uint8_t byte = 0;
    return ::read(fd_, &byte, 1) == 1 ? std::optional<uint8_t>(byte) : std::nullopt;
}

Bytes PcLine::Read(size_t count) {
    Bytes got;
    while (got.size() < count) {
        const auto byte = Read();
        if (!byte) {
            break;
        }
        got.push_back(*byte);
    }
    return got;
}

bool PcLine::QuietFor(int ms) {
    pollfd watch{fd_, POLLIN, 0};
    return fd_ >= 0 && ::poll(&watch, 1, ms) == 0;
}

bool PcLine::HangsUp() {
    pollfd watch{fd_, POLLIN, 0};
    if (::poll(&watch, 1, kHangGuardMs) <= 0) {
        return false;
    }
    uint8_t byte = 0;
    const ssize_t n = ::read(fd_, &byte, 1);
    return n == 0 || (n < 0 && errno == EIO) || (watch.revents & POLLHUP) != 0;
}

void PcLine::Close() {
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
}

std::string PlayBoot(PcLine &pc, const Download &d) {
    pc.Send(d.target);
    Sleep(100);
    pc.Send(d.line_frame);
    if (d.acknowledged) {
        if (auto e = Expect(pc, 0x06, "line setup frame"); !e.empty()) {
            return e;
        }
    }
    Sleep(100);
    pc.SetSpeed(d.bit_rate);
    Sleep(5);
    return "";
}

std::string PlayLoader(PcLine &pc, const Download &d) {
    if (auto e = SendBlocks(pc, d, d.loader, 32, false, 5, "loader"); !e.empty()) {
        return e;
    }
    pc.Send(Bytes{0x00, 0x00});
    if (!d.acknowledged) {
        Sleep(50);
    }
    return AwaitSync(pc, d, "loader started");
}

std::string PlayRequest(PcLine &pc, const Download &d) {
    pc.Send(static_cast<uint8_t>(0x40 | (d.code ? 1 : 0) | (d.perso ? 2 : 0)));
    return "";
}

std::string PlayCode(PcLine &pc, const Download &d) {
    pc.Send(SizeFrame(static_cast<uint32_t>(d.code->size())));
    if (d.acknowledged) {
        if (auto e = Expect(pc, 0x06, "code size frame"); !e.empty()) {
            return e;
        }
    }
    if (auto e = SendBlocks(pc, d, *d.code, 256, true, 5, "code"); !e.empty()) {
        return e;
    }
    pc.Send(SumFrame(FileSum(*d.code)));
    std::string e = d.acknowledged ? Expect(pc, 0x06, "checksum frame") : "";
    if (e.empty()) {
        e = AwaitSync(pc, d, "erase start");
    }
    return e.empty() ? AwaitSync(pc, d, "erase end") : e;
}

std::string PlayPerso(PcLine &pc, const Download &d) {
    if (auto e = AwaitSync(pc, d, "DEKE ready"); !e.empty()) {
        return e;
    }
    if (!d.acknowledged) {
        Sleep(20);  // the restart wait
    }
    pc.SetSpeed(d.perso_bit_rate);
    pc.Send(SizeFrame(static_cast<uint32_t>(d.perso->size())));
    if (d.acknowledged) {
        if (auto e = Expect(pc, 0x06, "personalization size frame"); !e.empty()) {
            return e;
        }
    }
    if (auto e = SendBlocks(pc, d, *d.perso, 256, true, 1, "personalization"); !e.empty()) {
        return e;
    }
    return AwaitSync(pc, d, "personalization written");
}

std::string PlayUpToFiles(PcLine &pc, const Download &d) {
    std::string e = PlayBoot(pc, d);
    if (e.empty()) {
        e = PlayLoader(pc, d);
    }
    return e.empty() ? PlayRequest(pc, d) : e;
}

std::string PlayDownload(PcLine &pc, const Download &d) {
    std::string e = PlayUpToFiles(pc, d);
    if (e.empty() && d.code) {
        e = PlayCode(pc, d);
    }
    if (e.empty() && d.perso) {
        e = PlayPerso(pc, d);
    }
    return e;
}

}  // namespace dekvanto::simtest
