// vanto.exe run as a separate process from the test program's folder, with its standard output
// and standard error gathered into one text.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dekvanto::wintest {

class VantoProcess {
  public:
    // Starts vanto.exe with these arguments. own_group: in a process group of its own, so that
    // a Ctrl-Break can be sent to it alone.
    explicit VantoProcess(const std::vector<std::string> &args, bool own_group = false);
    ~VantoProcess();
    VantoProcess(const VantoProcess &) = delete;
    VantoProcess &operator=(const VantoProcess &) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD ProcessId() const { return process_id_; }
    // Waits until the output holds text, or the program has ended; true when it holds it.
    bool WaitForOutput(const std::string &text);
    // Waits for the end (at most the time given); the exit status, or -1 on time-out.
    int Wait(DWORD milliseconds = 120000);
    // Everything written so far.
    std::string Output();

  private:
    void Read(HANDLE output);

    HANDLE process_ = nullptr;
    DWORD process_id_ = 0;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    bool ended_ = false;
};

// The folder of the running test program (where vanto.exe and DLL_MX40.DLL lie), ending in a
// backslash.
std::string ProgramFolder();

// Runs vanto.exe to its end: exit status and output.
struct VantoRun {
    int status;
    std::string output;
};
VantoRun RunVanto(const std::vector<std::string> &args);

}  // namespace dekvanto::wintest
