// The vanto program started as a script starts it: its standard output and error on one pipe,
// its standard input on another, optionally in a process group of its own (so that a signal can
// reach it and its stations at once, as a terminal's Ctrl-C or a killed session does).
//
// Every read waits for the program's lines, never for the clock: a bound only keeps a hung
// program from hanging the test. A program still running when the object goes is killed.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace dekvanto::cli {

class VantoProcess {
  public:
    static constexpr std::chrono::seconds kBound{120};

    explicit VantoProcess(const std::vector<std::string> &args, bool own_group = false)
        : own_group_(own_group) {
        int out[2];
        int in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> text{VANTO_PROGRAM};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &t : text) {
            argv.push_back(t.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (own_group) {
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attributes, 0);
        }
        if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        output_ = out[0];
        input_ = in[1];
    }
    ~VantoProcess() {
        if (pid_ > 0 && !status_) {
            Signal(SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseInput();
        if (output_ >= 0) {
            ::close(output_);
        }
    }
    VantoProcess(const VantoProcess &) = delete;
    VantoProcess &operator=(const VantoProcess &) = delete;

    long Pid() const { return pid_; }

    // Reads output until a line contains text (true), or the output ends or the bound passes
    // (false). What was read stays in Seen(); the search begins after the last line found.
    bool ReadUntil(const std::string &text) {
        const auto until = std::chrono::steady_clock::now() + kBound;
        for (;;) {
            const auto end = seen_.find('\n', searched_);
            if (end != std::string::npos) {
                const bool found =
                    seen_.substr(searched_, end - searched_).find(text) != std::string::npos;
                searched_ = end + 1;
                if (found) {
                    return true;
                }
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (output_ < 0 || left.count() <= 0) {
                return false;
            }
            pollfd watched{output_, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got <= 0) {
                ::close(output_);
                output_ = -1;
                if (searched_ < seen_.size()) {
                    seen_ += '\n';  // a last line without its end is still a line
                }
                continue;
            }
            seen_.append(buffer, static_cast<std::size_t>(got));
        }
    }
    // Writes to its standard input.
    void Write(const std::string &text) {
        if (input_ >= 0) {
            [[maybe_unused]] const ssize_t wrote = ::write(input_, text.data(), text.size());
        }
    }
    void CloseInput() {
        if (input_ >= 0) {
            ::close(input_);
            input_ = -1;
        }
    }
    // To the program, or with its own group to the whole group.
    void Signal(int signal) { ::kill(own_group_ ? -pid_ : pid_, signal); }
    // Reads the rest of the output and returns the exit status (-1 when killed by a signal).
    int Wait() {
        ReadUntil("\x01never\x01");
        if (!status_) {
            int status = 0;
            rusage usage{};
            ::wait4(pid_, &status, 0, &usage);
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            peak_resident_kib_ = usage.ru_maxrss;
        }
        return *status_;
    }
    // Once Wait has returned: the most memory the program held resident at once, in KiB.
    long PeakResidentKib() const { return peak_resident_kib_; }
    const std::string &Seen() const { return seen_; }

  private:
    bool own_group_ = false;
    pid_t pid_ = -1;
    int output_ = -1;
    int input_ = -1;
    std::string seen_;
    std::size_t searched_ = 0;
    std::optional<int> status_;
    long peak_resident_kib_ = 0;
};

// The ids of the processes whose parent is `parent` (a bench's stations).
inline std::vector<std::string> ChildrenOf(long parent) {
    std::vector<std::string> children;
    DIR *proc = ::opendir("/proc");
    while (dirent *entry = proc ? ::readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string text;
        if (!std::getline(stat, text) || text.rfind(')') == std::string::npos) {
            continue;
        }
        // "<pid> (<name>) <state> <ppid> ...": the name may hold blanks and parentheses.
        std::istringstream rest(text.substr(text.rfind(')') + 1));
        std::string state;
        long ppid = 0;
        if (rest >> state >> ppid && ppid == parent) {
            children.push_back(entry->d_name);
        }
    }
    if (proc) {
        ::closedir(proc);
    }
    return children;
}

}  // namespace dekvanto::cli
