#include "vanto_process.h"

namespace dekvanto::wintest {
namespace {

std::string Quoted(const std::string &argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    for (const char c : argument) {
        quoted += c == '"' ? "\\\"" : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace

std::string ProgramFolder() {
    char name[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, name, MAX_PATH);
    std::string folder(name);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

VantoProcess::VantoProcess(const std::vector<std::string> &args, bool own_group) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!::CreatePipe(&read_end, &write_end, &inherited, 0)) {
        return;
    }
    ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE no_input = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherited, OPEN_EXISTING, 0, nullptr);
    const std::string program = ProgramFolder() + "vanto.exe";
    std::string command_line = Quoted(program);
    for (const std::string &arg : args) {
        command_line += " " + Quoted(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = no_input;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION information{};
    if (::CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                         own_group ? CREATE_NEW_PROCESS_GROUP : 0, nullptr, nullptr, &startup,
                         &information)) {
        ::CloseHandle(information.hThread);
        process_ = information.hProcess;
        process_id_ = information.dwProcessId;
    }
    ::CloseHandle(write_end);
    ::CloseHandle(no_input);
    reader_ = std::thread([this, read_end] { Read(read_end); });
}

VantoProcess::~VantoProcess() {
    if (process_ != nullptr) {
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_, 99);
        }
        ::CloseHandle(process_);
    }
    reader_.join();
}

void VantoProcess::Read(HANDLE output) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard lock(mutex_);
        output_.append(buffer, got);
        changed_.notify_all();
    }
    ::CloseHandle(output);
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

bool VantoProcess::WaitForOutput(const std::string &text) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_ || output_.find(text) != std::string::npos; });
    return output_.find(text) != std::string::npos;
}

int VantoProcess::Wait(DWORD milliseconds) {
    if (process_ == nullptr || ::WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
    return static_cast<int>(code);
}

std::string VantoProcess::Output() {
    std::lock_guard lock(mutex_);
    return output_;
}

VantoRun RunVanto(const std::vector<std::string> &args) {
    VantoProcess vanto(args);
    const int status = vanto.Wait();
    return {status, vanto.Output()};
}

}  // namespace dekvanto::wintest
