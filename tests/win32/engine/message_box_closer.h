// Closes every message box that appears on the test's thread while it lives, and keeps their
// texts and owners, so that code showing modal boxes can run unattended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dekvanto::wintest {

class MessageBoxCloser {
  public:
    MessageBoxCloser();
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser &) = delete;
    MessageBoxCloser &operator=(const MessageBoxCloser &) = delete;

    struct Box {
        std::string text;
        HWND owner;
    };
    const std::vector<Box> &Boxes() const;
    std::vector<std::string> Texts() const;

  private:
    HHOOK hook_ = nullptr;
};

}  // namespace dekvanto::wintest
