// The parent's side of station processes: each station is this program started again with its
// own arguments (one engine per process, since the engine's state is process-wide). The parent
// reads each station's standard output and error as they come, may write lines to its standard
// input (a bench's go-ahead and scanned identifiers), and may read its own standard input beside
// them (a bench's barcode scanner). Everything arrives through one wait, Next(), on the thread
// that draws the stations.
//
// POSIX: posix_spawn with pipes, one poll() over every pipe. Windows: CreateProcess with pipes,
// one reading thread per pipe handing its chunks to the waiting thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::platform {

class StationProcesses {
  public:
    struct News {
        enum class Kind {
            kNothing,        // the wait's time is up, or a Ctrl-C ended it
            kOutput,         // bytes of a station's output
            kOutputEnded,    // a station closed its output (it has ended, or is about to)
            kOwnInput,       // bytes of the parent's own standard input
            kOwnInputEnded,  // the parent's own standard input has ended
        };
        Kind kind = Kind::kNothing;
        std::size_t station = 0;
        std::string bytes;
    };

    // program: the program started for each station; empty: this program again (POSIX: the
    // running program file; Windows: vanto.exe in the running program's directory).
    // feed_stations: each station gets a pipe from the parent as standard input (else none);
    // read_own_input: the parent's standard input is read beside the stations' output.
    StationProcesses(const std::filesystem::path &program, bool feed_stations, bool read_own_input);
    ~StationProcesses();
    StationProcesses(const StationProcesses &) = delete;
    StationProcesses &operator=(const StationProcesses &) = delete;

    // The program started for each station.
    const std::filesystem::path &Program() const;
    // Starts the next station (stations count from 0 in the order of the calls, those that did
    // not start included) with these arguments after the program's name; false when it did not.
    bool Start(const std::vector<std::string> &args);
    // Starts a station that has ended (its output ended and its process was reaped) again, under
    // the same number, with these arguments; false when it did not.
    bool Restart(std::size_t station, const std::vector<std::string> &args);
    // Process ids of the stations that run (Ctrl-C is passed on to them).
    std::vector<long> Ids() const;
    // The process id of one station; 0 when it does not run.
    long Id(std::size_t station) const;

    // True while some station's output is still open.
    bool OutputOpen() const;
    // Waits at most `tick` for the next news.
    News Next(std::chrono::milliseconds tick);
    // Writes one line (a line end is added) to a station's standard input; false when it cannot
    // be written (the station has gone, or its input was closed).
    bool Send(std::size_t station, std::string_view line);
    // Closes a station's standard input: it reads the end of its input.
    void CloseInput(std::size_t station);
    // Waits for a station's process to end: its exit status, or nothing for a station that did
    // not start or did not exit by itself.
    std::optional<int> Reap(std::size_t station);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dekvanto::platform
