// Splitting a child process's output, which comes in chunks of any size, into whole lines.
#pragma once

#include <string>
#include <string_view>

namespace dekvanto::app {

// Appends bytes to pending and hands on_line(const std::string &) every line that is now
// complete (ended by LF or CR LF, the end taken off), in order; what follows the last line end
// stays in pending for the next chunk.
template <typename OnLine>
void TakeCompleteLines(std::string &pending, std::string_view bytes, OnLine on_line) {
    pending.append(bytes);
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        on_line(line);
    }
}

}  // namespace dekvanto::app
