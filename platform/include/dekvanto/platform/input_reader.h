// The bytes that come in on a process's standard input (a bench station's, from its parent),
// waited for together with Ctrl-C (interrupt.h) and never longer than asked.
//
// POSIX: the descriptor is polled together with the Ctrl-C wake pipe, so the wait costs nothing
// while it lasts. Windows: a thread reads the standard input (which may outlive the reader while
// it is blocked in a read: it ends with the process), and the wait is on its event together with
// the Ctrl-C event.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace dekvanto::platform {

class InputReader {
  public:
    enum class Got {
        kBytes,    // bytes came (and are added to the caller's)
        kEnd,      // the input has ended (the writer closed it or has gone), or a read failed
        kBroken,   // the wait itself failed: nothing more will be read
        kNothing,  // the wait's time is up, or a Ctrl-C ended it
    };

    // descriptor: POSIX, the descriptor to read (0 for standard input; below 0: an input that
    // has ended already); Windows reads the process's standard input whatever it is.
    explicit InputReader(int descriptor);
    ~InputReader();
    InputReader(const InputReader &) = delete;
    InputReader &operator=(const InputReader &) = delete;

    // Waits at most `wait` (or without end when none is given) for more input, adding what came
    // to `bytes`. Once kEnd or kBroken was told, the input is not read again.
    Got Wait(std::optional<std::chrono::milliseconds> wait, std::string &bytes);

  private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace dekvanto::platform
