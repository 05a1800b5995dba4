#include "dekvanto/platform/station_processes.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char **environ;

namespace dekvanto::platform {
namespace {

// One station's process, the read end of its output and the write end of its input.
struct Station {
    pid_t pid = -1;
    int output = -1;
    int input = -1;
};

void CloseDescriptor(int &fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::filesystem::path ProgramOf(const std::filesystem::path &program) {
    if (!program.empty()) {
        return program;
    }
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace

struct StationProcesses::Impl {
    std::filesystem::path program;
    bool feed_stations = false;
    int own_input = -1;  // the parent's standard input while it is read
    bool own_input_terminal = false;
    std::vector<Station> stations;
    std::size_t turn = 0;  // where the next look at ready pipes begins, so none is starved

    // Starts one station: its output (standard output and error) into a pipe; its input from a
    // pipe, or /dev/null.
    bool Spawn(Station &station, const std::vector<std::string> &args) {
        int output[2];
        int input[2] = {-1, -1};
        if (::pipe2(output, O_CLOEXEC) != 0) {
            return false;
        }
        if (feed_stations && ::pipe2(input, O_CLOEXEC) != 0) {
            ::close(output[0]);
            ::close(output[1]);
            return false;
        }
        std::vector<std::string> argv_text{program.string()};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &text : argv_text) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (feed_stations) {
            posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
        const int failed =
            posix_spawn(&station.pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        CloseDescriptor(input[0]);
        if (failed != 0) {
            station.pid = -1;
            ::close(output[0]);
            CloseDescriptor(input[1]);
            return false;
        }
        station.output = output[0];
        station.input = input[1];
        if (station.input >= 0) {
            // The bench never waits on a station: a message that does not fit is not written.
            ::fcntl(station.input, F_SETFL, O_NONBLOCK);
        }
        return true;
    }
};

StationProcesses::StationProcesses(const std::filesystem::path &program, bool feed_stations,
                                   bool read_own_input)
    : impl_(std::make_unique<Impl>()) {
    impl_->program = ProgramOf(program);
    impl_->feed_stations = feed_stations;
    impl_->own_input = read_own_input ? STDIN_FILENO : -1;
    impl_->own_input_terminal = read_own_input && ::isatty(STDIN_FILENO) == 1;
}

StationProcesses::~StationProcesses() {
    for (Station &station : impl_->stations) {
        CloseDescriptor(station.output);
        CloseDescriptor(station.input);
    }
}

const std::filesystem::path &StationProcesses::Program() const {
    return impl_->program;
}

bool StationProcesses::Start(const std::vector<std::string> &args) {
    impl_->stations.emplace_back();
    return impl_->Spawn(impl_->stations.back(), args);
}

bool StationProcesses::Restart(std::size_t station, const std::vector<std::string> &args) {
    Station &s = impl_->stations[station];
    CloseDescriptor(s.output);
    CloseDescriptor(s.input);
    return impl_->Spawn(s, args);
}

long StationProcesses::Id(std::size_t station) const {
    return std::max<long>(impl_->stations[station].pid, 0);
}

std::vector<long> StationProcesses::Ids() const {
    std::vector<long> ids;
    for (const Station &station : impl_->stations) {
        if (station.pid > 0) {
            ids.push_back(station.pid);
        }
    }
    return ids;
}

bool StationProcesses::OutputOpen() const {
    for (const Station &station : impl_->stations) {
        if (station.output >= 0) {
            return true;
        }
    }
    return false;
}

StationProcesses::News StationProcesses::Next(std::chrono::milliseconds tick) {
    std::vector<pollfd> watched;
    std::vector<std::size_t> owners;  // the station of each watched descriptor
    for (std::size_t i = 0; i < impl_->stations.size(); ++i) {
        if (impl_->stations[i].output >= 0) {
            watched.push_back({impl_->stations[i].output, POLLIN, 0});
            owners.push_back(i);
        }
    }
    // A terminal is read only while the bench is in its foreground: a bench run in the
    // background of a shell would otherwise be stopped by the terminal at its first read.
    if (impl_->own_input >= 0 &&
        (!impl_->own_input_terminal || ::tcgetpgrp(impl_->own_input) == ::getpgrp())) {
        watched.push_back({impl_->own_input, POLLIN, 0});
    }
    News news;
    // A Ctrl-C ends the wait (EINTR): the caller looks at it before it waits again.
    if (::poll(watched.data(), watched.size(), static_cast<int>(tick.count())) <= 0) {
        return news;
    }
    for (std::size_t k = 0; k < watched.size(); ++k) {
        const std::size_t i = (impl_->turn + k) % watched.size();
        if (watched[i].revents == 0) {
            continue;
        }
        impl_->turn = i + 1;
        char buffer[4096];
        const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            return news;
        }
        const bool own = i >= owners.size();
        if (got <= 0) {
            if (own) {
                impl_->own_input = -1;
                news.kind = News::Kind::kOwnInputEnded;
            } else {
                CloseDescriptor(impl_->stations[owners[i]].output);
                news.kind = News::Kind::kOutputEnded;
                news.station = owners[i];
            }
            return news;
        }
        news.kind = own ? News::Kind::kOwnInput : News::Kind::kOutput;
        news.station = own ? 0 : owners[i];
        news.bytes.assign(buffer, static_cast<std::size_t>(got));
        return news;
    }
    return news;
}

bool StationProcesses::Send(std::size_t station, std::string_view line) {
    const int fd = impl_->stations[station].input;
    if (fd < 0) {
        return false;
    }
    std::string text(line);
    text += '\n';
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + at, text.size() - at);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;  // the station has gone (SIGPIPE is ignored: EPIPE), or reads nothing
        }
        at += static_cast<std::size_t>(wrote);
    }
    return true;
}

void StationProcesses::CloseInput(std::size_t station) {
    CloseDescriptor(impl_->stations[station].input);
}

std::optional<int> StationProcesses::Reap(std::size_t station) {
    Station &s = impl_->stations[station];
    if (s.pid <= 0) {
        return std::nullopt;
    }
    int wait_status = 0;
    pid_t done;
    do {
        done = ::waitpid(s.pid, &wait_status, 0);
    } while (done < 0 && errno == EINTR);
    s.pid = -1;
    if (done <= 0 || !WIFEXITED(wait_status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(wait_status);
}

}  // namespace dekvanto::platform
