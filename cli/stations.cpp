#include "stations.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "exit_status.h"
#include "interrupt.h"

extern char **environ;

namespace vanto {
namespace {

struct Station {
    std::string port;
    pid_t pid = -1;
    int fd = -1;          // read end of the station's output
    std::string pending;  // output not yet ended by a line end
    std::string last_line;
    int percent = 0;
    int last_tenth = 0;
    uint64_t bytes = 0;
    int status = kOtherFailure;
    nlohmann::json summary = nlohmann::json::object();
};

std::filesystem::path StationProgram(const Context &context) {
    if (!context.program.empty()) {
        return context.program;
    }
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// Starts one station: its output (standard output and error) into a pipe, no standard input.
bool Spawn(Station &station, const std::filesystem::path &program,
           const std::vector<std::string> &args) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> argv_text{program.string()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    argv_text.insert(argv_text.end(), {"--station-port", station.port});
    std::vector<char *> argv;
    for (std::string &text : argv_text) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    const int failed = posix_spawn(&station.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    if (failed != 0) {
        ::close(pipe_ends[0]);
        return false;
    }
    station.fd = pipe_ends[0];
    return true;
}

class StationBoard {
  public:
    StationBoard(std::vector<Station> &stations, std::ostream &log, bool terminal)
        : stations_(stations), log_(log), terminal_(terminal) {}

    void Begin() {
        if (terminal_) {
            for (const Station &station : stations_) {
                log_ << Row(station) << '\n';
            }
            log_ << std::flush;
        }
    }

    // One tagged line of a station's output.
    void OnLine(Station &station, const std::string &line) {
        const std::string tag = line.substr(0, 2);
        const std::string text = line.size() > 2 ? line.substr(2) : "";
        if (tag == "P ") {
            unsigned long long bytes = 0;
            std::sscanf(text.c_str(), "%d %llu", &station.percent, &bytes);
            station.bytes = bytes;
            if (!terminal_ && station.percent / 10 > station.last_tenth) {
                station.last_tenth = station.percent / 10;
                Print(station, "progress " + std::to_string(station.percent) + "%  " +
                                   std::to_string(station.bytes) + " bytes");
            }
        } else if (tag == "R ") {
            station.summary = nlohmann::json::parse(text, nullptr, false);
        } else {
            station.last_line = tag == "L " || tag == "M " || tag == "E " ? text : line;
            Print(station, station.last_line);
        }
        Redraw();
    }

  private:
    static std::string Row(const Station &station) {
        char head[64];
        std::snprintf(head, sizeof head, "%-7s %3d%% %10llu bytes  ", station.port.c_str(),
                      station.percent, static_cast<unsigned long long>(station.bytes));
        return head + station.last_line;
    }

    void Print(const Station &station, const std::string &text) {
        if (!terminal_) {
            log_ << station.port << ": " << text << std::endl;
        }
    }

    void Redraw() {
        if (!terminal_) {
            return;
        }
        log_ << "\x1b[" << stations_.size() << 'A';
        for (const Station &station : stations_) {
            log_ << "\r\x1b[2K" << Row(station).substr(0, 120) << '\n';
        }
        log_ << std::flush;
    }

    std::vector<Station> &stations_;
    std::ostream &log_;
    bool terminal_;
};

// Reads every station's output until all have closed it.
void Follow(std::vector<Station> &stations, StationBoard &board) {
    for (;;) {
        std::vector<pollfd> watched;
        std::vector<Station *> owners;
        for (Station &station : stations) {
            if (station.fd >= 0) {
                watched.push_back({station.fd, POLLIN, 0});
                owners.push_back(&station);
            }
        }
        if (watched.empty()) {
            return;
        }
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;  // Ctrl-C: passed on to the stations, which end by themselves
            }
            return;
        }
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].revents == 0) {
                continue;
            }
            Station &station = *owners[i];
            char buffer[4096];
            const ssize_t got = ::read(station.fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                ::close(station.fd);
                station.fd = -1;
                continue;
            }
            station.pending.append(buffer, static_cast<std::size_t>(got));
            for (auto end = station.pending.find('\n'); end != std::string::npos;
                 end = station.pending.find('\n')) {
                const std::string line = station.pending.substr(0, end);
                station.pending.erase(0, end + 1);
                board.OnLine(station, line);
            }
        }
    }
}

void Reap(Station &station) {
    int wait_status = 0;
    pid_t done;
    do {
        done = ::waitpid(station.pid, &wait_status, 0);
    } while (done < 0 && errno == EINTR);
    station.status =
        done == station.pid && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : kOtherFailure;
}

void PrintTable(const std::vector<Station> &stations, std::ostream &out) {
    out << "\nStation  Port     Result  Status  Bytes       Seconds  Last line\n";
    int number = 1;
    for (const Station &station : stations) {
        const auto &s = station.summary;
        const std::string result =
            s.contains("result") && s["result"].is_string() ? s["result"].get<std::string>() : "-";
        const double seconds = s.contains("seconds") ? s["seconds"].get<double>() : 0.0;
        char row[200];
        std::snprintf(row, sizeof row, "%-8d %-8s %-7s %-7d %-11llu %-8.1f ", number++,
                      station.port.c_str(), result.c_str(), station.status,
                      static_cast<unsigned long long>(station.bytes), seconds);
        out << row << station.last_line << '\n';
    }
    out << std::flush;
}

}  // namespace

int RunStations(const DownloadOptions &options, const std::vector<std::string> &args,
                Console &console, const Context &context) {
    std::vector<Station> stations;
    for (const std::string &port : options.ports) {
        Station station;
        station.port = port;
        stations.push_back(station);
    }
    std::ostream &log = options.json ? console.err : console.out;
    const std::filesystem::path program = StationProgram(context);
    InterruptGuard interrupts(nullptr);
    std::vector<pid_t> started;
    for (Station &station : stations) {
        if (!Spawn(station, program, args)) {
            station.last_line = "could not start " + program.string();
            continue;
        }
        started.push_back(station.pid);
    }
    interrupts.ForwardTo(started);
    StationBoard board(stations, log, console.terminal && !options.json);
    board.Begin();
    Follow(stations, board);
    for (Station &station : stations) {
        if (station.pid > 0) {
            Reap(station);
        }
    }
    interrupts.ForwardTo({});
    PrintTable(stations, log);

    int status = kFinished;
    nlohmann::json all = nlohmann::json::array();
    for (const Station &station : stations) {
        if (status == kFinished && station.status != kFinished) {
            status = station.status;
        }
        nlohmann::json entry = station.summary;
        entry["port"] = station.port;
        entry["status"] = station.status;
        all.push_back(entry);
    }
    if (options.json) {
        console.out << nlohmann::json{{"stations", all}, {"status", status}}.dump() << std::endl;
    }
    return status;
}

}  // namespace vanto
