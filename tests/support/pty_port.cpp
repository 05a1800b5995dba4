#include "pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "dekvanto/platform/termios_speed.h"

namespace dekvanto::engine::testing {
PtyPort::PtyPort(int number) : number_(number) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    slave_path_ = ptsname(master_);
    // Holding the slave open keeps the line up between the engine's opens and closes.
    slave_keeper_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    tcgetattr(slave_keeper_, &raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    tcsetattr(slave_keeper_, TCSANOW, &raw);

    char pattern[] = "/tmp/dekvanto-ports-XXXXXX";
    register_dir_ = mkdtemp(pattern);
    setenv("DEKVANTO_PORTS", register_dir_.c_str(), 1);
    std::filesystem::create_symlink(slave_path_, register_dir_ + "/COM" + std::to_string(number));
}

PtyPort::~PtyPort() {
    std::error_code ignored;
    std::filesystem::remove_all(register_dir_, ignored);
    if (slave_keeper_ >= 0) {
        ::close(slave_keeper_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PtyPort::Send(const std::vector<uint8_t> &bytes) {
    if (!bytes.empty() && ::write(master_, bytes.data(), bytes.size()) < 0) {
        throw std::runtime_error("write to the line failed");
    }
}

std::vector<uint8_t> PtyPort::Receive(int timeout_ms, std::size_t at_most) {
    std::vector<uint8_t> got;
    int wait = timeout_ms;
    while (got.size() < at_most) {
        pollfd watch{master_, POLLIN, 0};
        if (::poll(&watch, 1, wait) <= 0 || (watch.revents & POLLIN) == 0) {
            break;
        }
        uint8_t buffer[512];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, at_most - got.size()));
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
        wait = 50;
    }
    return got;
}

uint32_t PtyPort::BitRate() const {
    termios line{};
    tcgetattr(master_, &line);  // the master reports the slave's settings
    return platform::BitRateOfTermiosSpeed(cfgetospeed(&line));
}

void PtyPort::Unplug() {
    if (slave_keeper_ >= 0) {
        ::close(slave_keeper_);
        slave_keeper_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

}  // namespace dekvanto::engine::testing
