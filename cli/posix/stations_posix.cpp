#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>

#include "interrupt.h"
#include "station_board.h"
#include "stations.h"

extern char **environ;

namespace dekvanto::cli {
namespace {

// A station's process and the read end of its output.
struct StationProcess {
    pid_t pid = -1;
    int fd = -1;
};

std::filesystem::path StationProgram(const Context &context) {
    if (!context.program.empty()) {
        return context.program;
    }
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// Starts one station: its output (standard output and error) into a pipe, no standard input.
bool Spawn(StationProcess &process, const std::filesystem::path &program,
           const std::vector<std::string> &args) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
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
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    const int failed = posix_spawn(&process.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    if (failed != 0) {
        ::close(pipe_ends[0]);
        return false;
    }
    process.fd = pipe_ends[0];
    return true;
}

// Reads every station's output until all have closed it.
void Follow(std::vector<StationState> &stations, std::vector<StationProcess> &processes,
            StationBoard &board) {
    for (;;) {
        std::vector<pollfd> watched;
        std::vector<std::size_t> owners;
        for (std::size_t i = 0; i < processes.size(); ++i) {
            if (processes[i].fd >= 0) {
                watched.push_back({processes[i].fd, POLLIN, 0});
                owners.push_back(i);
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
            StationProcess &process = processes[owners[i]];
            char buffer[4096];
            const ssize_t got = ::read(process.fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                ::close(process.fd);
                process.fd = -1;
                continue;
            }
            board.OnOutput(stations[owners[i]], buffer, static_cast<std::size_t>(got));
        }
    }
}

int Reap(const StationProcess &process) {
    int wait_status = 0;
    pid_t done;
    do {
        done = ::waitpid(process.pid, &wait_status, 0);
    } while (done < 0 && errno == EINTR);
    return done == process.pid && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : kOtherFailure;
}

}  // namespace

int RunStations(const DownloadOptions &options, const std::vector<std::string> &args,
                Console &console, const Context &context) {
    std::vector<StationState> stations(options.ports.size());
    std::vector<StationProcess> processes(options.ports.size());
    for (std::size_t i = 0; i < stations.size(); ++i) {
        stations[i].port = options.ports[i];
    }
    const std::filesystem::path program = StationProgram(context);
    InterruptGuard interrupts(nullptr);
    std::vector<long> started;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        if (!Spawn(processes[i], program, StationArguments(args, stations[i].port))) {
            stations[i].last_line = "could not start " + program.string();
            continue;
        }
        started.push_back(processes[i].pid);
    }
    interrupts.ForwardTo(started);
    StationBoard board(stations, options.MachineOutput() ? console.err : console.out,
                       console.terminal && !options.MachineOutput(),
                       options.events ? &console.out : nullptr);
    board.Begin();
    Follow(stations, processes, board);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        if (processes[i].pid > 0) {
            stations[i].status = Reap(processes[i]);
        }
    }
    interrupts.ForwardTo({});
    return FinishStations(stations, options, console);
}

}  // namespace dekvanto::cli
