#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "dekvanto/platform/program_folder.h"
#include "dekvanto/platform/station_processes.h"

namespace dekvanto::platform {
namespace {

using News = StationProcesses::News;

// What the reading threads hand to the thread that waits in Next().
class NewsQueue {
  public:
    void Push(News news) {
        {
            std::lock_guard lock(mutex_);
            news_.push_back(std::move(news));
        }
        ready_.notify_one();
    }
    News Pop(std::chrono::milliseconds tick) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, tick, [this] { return !news_.empty(); })) {
            return {};
        }
        News news = std::move(news_.front());
        news_.pop_front();
        return news;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<News> news_;
};

// Reads the parent's own standard input to its end, each chunk as news, then the end.
void ReadOwnInput(HANDLE input, std::shared_ptr<NewsQueue> queue) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        queue->Push({News::Kind::kOwnInput, 0, std::string(buffer, got)});
    }
    queue->Push({News::Kind::kOwnInputEnded, 0, ""});
}

// Creates a station's output pipe: the parent's end reads overlapped (so that its reader can
// wait for the station's process at the same time), the station's end is inherited.
bool CreateOutputPipe(HANDLE &read_end, HANDLE &write_end, SECURITY_ATTRIBUTES &inherited) {
    static std::atomic<unsigned> pipes{0};
    const std::string name = "\\\\.\\pipe\\dekvanto-vanto-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(++pipes);
    read_end = ::CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 64 * 1024, 0, nullptr);
    if (read_end == INVALID_HANDLE_VALUE) {
        read_end = nullptr;
        return false;
    }
    write_end =
        ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    if (write_end == INVALID_HANDLE_VALUE) {
        write_end = nullptr;
        ::CloseHandle(read_end);
        read_end = nullptr;
        return false;
    }
    return true;
}

// Reads a station's output as it comes, each chunk as news, then its end: the end of the pipe,
// or the end of the station's process once what it wrote is read. A process that the station
// started and that inherited the pipe (Wine starts its desktop process from the first program
// that opens a window) may hold the pipe open long after the station has gone.
void ReadStationOutput(HANDLE pipe, HANDLE process, std::size_t station,
                       std::shared_ptr<NewsQueue> queue) {
    const HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool exited = false;
    char buffer[4096];
    for (;;) {
        OVERLAPPED read{};
        read.hEvent = done;
        if (!::ReadFile(pipe, buffer, sizeof buffer, nullptr, &read) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            break;  // the end of the pipe
        }
        const HANDLE waits[2] = {done, process};
        exited = exited || ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
        if (exited && ::WaitForSingleObject(done, 0) != WAIT_OBJECT_0) {
            ::CancelIo(pipe);  // the station has gone and its pipe is empty: nothing more comes
        }
        DWORD got = 0;
        if (!::GetOverlappedResult(pipe, &read, &got, TRUE) || got == 0) {
            break;
        }
        queue->Push({News::Kind::kOutput, station, std::string(buffer, got)});
    }
    for (const HANDLE handle : {done, pipe, process}) {
        if (handle != nullptr) {
            ::CloseHandle(handle);
        }
    }
    queue->Push({News::Kind::kOutputEnded, station, ""});
}

std::filesystem::path ProgramOf(const std::filesystem::path &program) {
    if (!program.empty()) {
        return program;
    }
    const auto directory = RunningProgramDirectory();
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

// One station's process, the write end of its input, and the thread that reads its output.
struct Station {
    HANDLE process = nullptr;
    DWORD id = 0;
    HANDLE input = nullptr;
    bool output_open = false;
    std::thread reader;
};

void CloseHandleOf(HANDLE &handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    handle = nullptr;
}

}  // namespace

struct StationProcesses::Impl {
    std::filesystem::path program;
    bool feed_stations = false;
    std::shared_ptr<NewsQueue> queue = std::make_shared<NewsQueue>();
    std::deque<Station> stations;

    // Starts one station with its output (standard output and error) into a pipe, and its input
    // from a pipe or NUL. The parent's ends are not inherited by later stations. In a process
    // group of its own, the console's Ctrl-C does not reach it: the parent passes each one on
    // (interrupt.h), so that it arrives once, console or not.
    bool Spawn(Station &station, std::size_t number, const std::vector<std::string> &args) {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE output_read = nullptr;
        HANDLE output_write = nullptr;
        if (!CreateOutputPipe(output_read, output_write, inherited)) {
            return false;
        }
        HANDLE input_read = nullptr;
        HANDLE input_write = nullptr;
        if (feed_stations) {
            if (!::CreatePipe(&input_read, &input_write, &inherited, 0)) {
                CloseHandleOf(output_read);
                CloseHandleOf(output_write);
                return false;
            }
            ::SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0);
        } else {
            input_read = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherited, OPEN_EXISTING, 0, nullptr);
        }
        std::string command_line = Quoted(program.string());
        for (const std::string &arg : args) {
            command_line += " " + Quoted(arg);
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input_read;
        startup.hStdOutput = output_write;
        startup.hStdError = output_write;
        PROCESS_INFORMATION process{};
        const BOOL started =
            ::CreateProcessA(program.string().c_str(), command_line.data(), nullptr, nullptr, TRUE,
                             CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process);
        CloseHandleOf(output_write);
        CloseHandleOf(input_read);
        if (!started) {
            CloseHandleOf(output_read);
            CloseHandleOf(input_write);
            return false;
        }
        ::CloseHandle(process.hThread);
        station.process = process.hProcess;
        station.id = process.dwProcessId;
        station.input = input_write;
        station.output_open = true;
        HANDLE watched = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), process.hProcess, ::GetCurrentProcess(), &watched,
                          SYNCHRONIZE, FALSE, 0);
        station.reader = std::thread(ReadStationOutput, output_read, watched, number, queue);
        return true;
    }
};

StationProcesses::StationProcesses(const std::filesystem::path &program, bool feed_stations,
                                   bool read_own_input)
    : impl_(std::make_unique<Impl>()) {
    impl_->program = ProgramOf(program);
    impl_->feed_stations = feed_stations;
    if (read_own_input) {
        // Detached: a read of the console or a pipe cannot be called off, and the thread ends
        // with the process. The queue it writes to is shared with it.
        std::thread(ReadOwnInput, ::GetStdHandle(STD_INPUT_HANDLE), impl_->queue).detach();
    }
}

StationProcesses::~StationProcesses() {
    for (Station &station : impl_->stations) {
        CloseHandleOf(station.input);
        if (station.reader.joinable()) {
            station.reader.join();
        }
        CloseHandleOf(station.process);
    }
}

const std::filesystem::path &StationProcesses::Program() const {
    return impl_->program;
}

bool StationProcesses::Start(const std::vector<std::string> &args) {
    Station &station = impl_->stations.emplace_back();
    return impl_->Spawn(station, impl_->stations.size() - 1, args);
}

bool StationProcesses::Restart(std::size_t station, const std::vector<std::string> &args) {
    Station &s = impl_->stations[station];
    if (s.reader.joinable()) {
        s.reader.join();
    }
    CloseHandleOf(s.input);
    CloseHandleOf(s.process);
    s.output_open = false;
    return impl_->Spawn(s, station, args);
}

long StationProcesses::Id(std::size_t station) const {
    const Station &s = impl_->stations[station];
    return s.process != nullptr ? static_cast<long>(s.id) : 0;
}

std::vector<long> StationProcesses::Ids() const {
    std::vector<long> ids;
    for (const Station &station : impl_->stations) {
        if (station.process != nullptr) {
            ids.push_back(static_cast<long>(station.id));
        }
    }
    return ids;
}

bool StationProcesses::OutputOpen() const {
    for (const Station &station : impl_->stations) {
        if (station.output_open) {
            return true;
        }
    }
    return false;
}

StationProcesses::News StationProcesses::Next(std::chrono::milliseconds tick) {
    News news = impl_->queue->Pop(tick);
    if (news.kind == News::Kind::kOutputEnded) {
        Station &station = impl_->stations[news.station];
        station.output_open = false;
        if (station.reader.joinable()) {
            station.reader.join();
        }
    }
    return news;
}

bool StationProcesses::Send(std::size_t station, std::string_view line) {
    HANDLE input = impl_->stations[station].input;
    if (input == nullptr) {
        return false;
    }
    std::string text(line);
    text += '\n';
    DWORD wrote = 0;
    return ::WriteFile(input, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) &&
           wrote == text.size();
}

void StationProcesses::CloseInput(std::size_t station) {
    CloseHandleOf(impl_->stations[station].input);
}

std::optional<int> StationProcesses::Reap(std::size_t station) {
    HANDLE &process = impl_->stations[station].process;
    if (process == nullptr) {
        return std::nullopt;
    }
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    const bool told = ::GetExitCodeProcess(process, &code) != 0;
    CloseHandleOf(process);
    if (!told) {
        return std::nullopt;
    }
    return static_cast<int>(code);
}

}  // namespace dekvanto::platform
