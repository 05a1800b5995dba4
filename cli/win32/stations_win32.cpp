#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "core/program_folder.h"
#include "interrupt.h"
#include "station_board.h"
#include "stations.h"

namespace dekvanto::cli {
namespace {

// A chunk of one station's output, or its end (empty bytes).
struct Chunk {
    std::size_t station = 0;
    std::string bytes;
};

// The chunks that the reader threads hand to the thread that draws the board.
class ChunkQueue {
  public:
    void Push(Chunk chunk) {
        {
            std::lock_guard lock(mutex_);
            chunks_.push_back(std::move(chunk));
        }
        ready_.notify_one();
    }
    Chunk Pop() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !chunks_.empty(); });
        Chunk chunk = std::move(chunks_.front());
        chunks_.pop_front();
        return chunk;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Chunk> chunks_;
};

std::filesystem::path StationProgram(const Context &context) {
    if (!context.program.empty()) {
        return context.program;
    }
    const auto directory = dekvanto::app::RunningProgramDirectory();
    return directory ? *directory / "vanto.exe" : std::filesystem::path("vanto.exe");
}

// One argument as the C runtime of the child splits its command line again: in quotes when it
// has blanks or quotes, with quotes and the backslashes before them escaped.
std::string Quoted(const std::string &argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

// Starts one station with its output (standard output and error) into a pipe whose read end is
// returned in output, and no standard input. Null on failure.
HANDLE Spawn(const std::filesystem::path &program, const std::vector<std::string> &args,
             HANDLE &output) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!::CreatePipe(&read_end, &write_end, &inherited, 0)) {
        return nullptr;
    }
    ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE no_input = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherited, OPEN_EXISTING, 0, nullptr);
    std::string command_line = Quoted(program.string());
    for (const std::string &arg : args) {
        command_line += " " + Quoted(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = no_input;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessA(program.string().c_str(), command_line.data(), nullptr,
                                          nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(write_end);
    if (no_input != INVALID_HANDLE_VALUE) {
        ::CloseHandle(no_input);
    }
    if (!started) {
        ::CloseHandle(read_end);
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    output = read_end;
    return process.hProcess;
}

void ReadOutput(HANDLE output, std::size_t station, ChunkQueue &queue) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        queue.Push({station, std::string(buffer, got)});
    }
    ::CloseHandle(output);
    queue.Push({station, ""});
}

int StatusOfEndedProcess(HANDLE process) {
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = kOtherFailure;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return static_cast<int>(code);
}

}  // namespace

int RunStations(const DownloadOptions &options, const std::vector<std::string> &args,
                Console &console, const Context &context) {
    std::vector<StationState> stations(options.ports.size());
    std::vector<HANDLE> processes(options.ports.size(), nullptr);
    const std::filesystem::path program = StationProgram(context);
    // The console gives Ctrl-C to every station itself; the parent only must not end on it.
    InterruptGuard interrupts(nullptr);
    ChunkQueue queue;
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        stations[i].port = options.ports[i];
        HANDLE output = nullptr;
        processes[i] = Spawn(program, StationArguments(args, stations[i].port), output);
        if (processes[i] == nullptr) {
            stations[i].last_line = "could not start " + program.string();
            continue;
        }
        readers.emplace_back(ReadOutput, output, i, std::ref(queue));
    }
    StationBoard board(stations, options.MachineOutput() ? console.err : console.out,
                       console.terminal && !options.MachineOutput(),
                       options.events ? &console.out : nullptr);
    board.Begin();
    for (std::size_t open = readers.size(); open > 0;) {
        const Chunk chunk = queue.Pop();
        if (chunk.bytes.empty()) {
            --open;
        } else {
            board.OnOutput(stations[chunk.station], chunk.bytes.data(), chunk.bytes.size());
        }
    }
    for (std::thread &reader : readers) {
        reader.join();
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
        if (processes[i] != nullptr) {
            stations[i].status = StatusOfEndedProcess(processes[i]);
        }
    }
    return FinishStations(stations, options, console);
}

}  // namespace dekvanto::cli
