#include "sim/pty_line.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "dekvanto/platform/port_register.h"
#include "dekvanto/platform/termios_speed.h"

namespace dekvanto::sim {
namespace {

namespace fs = std::filesystem;

constexpr int kHighestPort = 255;

std::string SystemError(const std::string &what) {
    return what + ": " + std::strerror(errno);
}

// How many descriptors of all processes that can be looked at have the device behind fd open.
// Processes come and go meanwhile: what cannot be read is passed over.
int DescriptorsOpenOn(int fd) {
    struct stat device {};
    if (fd < 0 || ::fstat(fd, &device) != 0) {
        return 0;
    }
    int count = 0;
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr) {
        return 0;
    }
    while (const dirent *process = ::readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9') {
            continue;
        }
        const std::string folder = std::string("/proc/") + process->d_name + "/fd";
        DIR *descriptors = ::opendir(folder.c_str());
        if (descriptors == nullptr) {
            continue;
        }
        while (const dirent *entry = ::readdir(descriptors)) {
            struct stat target {};
            const std::string path = folder + "/" + entry->d_name;
            if (entry->d_name[0] != '.' && ::stat(path.c_str(), &target) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == device.st_rdev) {
                ++count;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return count;
}

}  // namespace

std::unique_ptr<PtyLine> PtyLine::Open(int port, const std::string &register_dir,
                                       std::string &error, bool own_terminal) {
    if (port < 0 || port > kHighestPort) {
        error = "port number " + std::to_string(port) + " is outside 0.." +
                std::to_string(kHighestPort);
        return nullptr;
    }
    if (register_dir.empty()) {
        error = "no port register directory (set DEKVANTO_PORTS or HOME)";
        return nullptr;
    }
    std::error_code fs_error;
    fs::create_directories(register_dir, fs_error);
    if (fs_error) {
        error = "cannot create the port register " + register_dir + ": " + fs_error.message();
        return nullptr;
    }

    std::unique_ptr<PtyLine> line(new PtyLine);
    line->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line->master_ < 0) {
        error = SystemError("posix_openpt");
        return nullptr;
    }
    char name[PATH_MAX];
    if (::grantpt(line->master_) != 0 || ::unlockpt(line->master_) != 0 ||
        ::ptsname_r(line->master_, name, sizeof name) != 0) {
        error = SystemError("pseudo-terminal setup");
        return nullptr;
    }
    const int flags = ::fcntl(line->master_, F_GETFL);
    if (flags < 0 || ::fcntl(line->master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl on the pseudo-terminal");
        return nullptr;
    }
    line->slave_path_ = name;
    line->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->slave_ < 0) {
        error = SystemError("open " + line->slave_path_);
        return nullptr;
    }
    if (own_terminal && ::ioctl(line->slave_, TIOCSCTTY, 0) != 0) {
        error = SystemError("taking " + line->slave_path_ + " as controlling terminal");
        return nullptr;
    }

    // Opens and closes of the device from now on are the PC's.
    line->notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (line->notify_ < 0 ||
        ::inotify_add_watch(line->notify_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = SystemError("watching " + line->slave_path_);
        return nullptr;
    }

    // A link left by an earlier run whose line has gone is taken over.
    const int first = port == 0 ? 1 : port;
    const int last = port == 0 ? kHighestPort : port;
    if (const auto number = platform::LinkLowestFreePort(
            register_dir, first, last, line->slave_path_, platform::StaleEntries::kReplace)) {
        line->port_ = *number;
        line->link_path_ = platform::PortEntryPath(register_dir, *number).string();
        return line;
    }
    error = port == 0 ? "no free COM number in " + register_dir
                      : "COM" + std::to_string(port) + " is already registered in " + register_dir;
    return nullptr;
}

PtyLine::~PtyLine() {
    Unplug();
    for (const int fd : {notify_, slave_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

PtyLine::Openings PtyLine::PcOpenings() {
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t n = notify_ < 0 ? -1 : ::read(notify_, events, sizeof events);
        if (n <= 0) {
            break;
        }
        openers_looked_at_ = false;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            openings_.opens += (event->mask & IN_OPEN) != 0;
            openings_.closes += (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    const bool counts_let_go = openings_.opens > 0 && openings_.closes >= openings_.opens;
    if (!counts_let_go) {
        openings_.held_elsewhere = false;
    } else if (!openers_looked_at_) {
        // The phone's own descriptor of the slave is one of the openers found.
        openings_.held_elsewhere = DescriptorsOpenOn(slave_) > 1;
        openers_looked_at_ = true;
    }
    return openings_;
}

ssize_t PtyLine::ReadAvailable(uint8_t *buffer, size_t capacity) {
    if (master_ < 0) {
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(master_, buffer, capacity);
        if (n > 0) {
            return n;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return 0;
        }
        return -1;
    }
}

bool PtyLine::Write(uint8_t byte) {
    if (master_ < 0) {
        return false;
    }
    for (;;) {
        const ssize_t n = ::write(master_, &byte, 1);
        if (n == 1) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

PtyLine::PcSettings PtyLine::Settings() const {
    termios settings{};
    if (master_ < 0 || ::tcgetattr(master_, &settings) != 0) {
        return {};
    }
    PcSettings pc;
    pc.echoes = (settings.c_lflag & ECHO) != 0;
    pc.bit_rate = pc.echoes ? 0 : platform::BitRateOfTermiosSpeed(::cfgetospeed(&settings));
    return pc;
}

size_t PtyLine::Unread() const {
    int count = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<size_t>(count);
}

std::optional<bool> PtyLine::HeldExclusively() const {
    int exclusive = 0;
    if (slave_ < 0 || ::ioctl(slave_, TIOCGEXCL, &exclusive) != 0) {
        return std::nullopt;
    }
    return exclusive != 0;
}

void PtyLine::Unplug() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    RemoveLink();
}

void PtyLine::RemoveLink() {
    if (link_path_.empty()) {
        return;
    }
    platform::RemovePortLink(link_path_, slave_path_);
    link_path_.clear();
}

}  // namespace dekvanto::sim
