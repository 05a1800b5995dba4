// Splitting a stream that comes in chunks of any size (a child process's output, the bench's own
// input) into whole lines. The one splitter of every reader of such a stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dekvanto::core {

class LineSplitter {
  public:
    // max_line: the most bytes kept of a line not yet ended. A longer line is handed on cut at
    // that length (`cut` true) and the rest of it, up to its line end, is passed over: a writer
    // that never ends its line cannot make the reader's memory grow without bound.
    explicit LineSplitter(std::size_t max_line) : max_line_(max_line) {}

    // Hands on_line(const std::string &line, bool cut) every line that the bytes complete (ended
    // by LF or CR LF, the end taken off), in order; what follows the last line end waits for the
    // next chunk.
    template <typename OnLine>
    void Take(std::string_view bytes, OnLine on_line) {
        while (!bytes.empty()) {
            const std::size_t end = bytes.find('\n');
            const std::string_view piece = bytes.substr(0, end);
            if (!skipping_) {
                const std::size_t room = max_line_ - pending_.size();
                if (piece.size() > room) {
                    pending_.append(piece.substr(0, room));
                    HandOn(on_line, true);
                    skipping_ = true;
                } else {
                    pending_.append(piece);
                }
            }
            if (end == std::string_view::npos) {
                return;
            }
            if (!skipping_) {
                HandOn(on_line, false);
            }
            skipping_ = false;
            bytes.remove_prefix(end + 1);
        }
    }

    // The end of the stream: a last line without its line end is handed on too.
    template <typename OnLine>
    void Finish(OnLine on_line) {
        if (!pending_.empty()) {
            HandOn(on_line, false);
        }
        skipping_ = false;
    }

    // True while part of a line waits for its end.
    bool Pending() const { return !pending_.empty() || skipping_; }

  private:
    template <typename OnLine>
    void HandOn(OnLine &on_line, bool cut) {
        std::string line;
        line.swap(pending_);
        if (!cut && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        on_line(line, cut);
    }

    std::size_t max_line_;
    std::string pending_;
    bool skipping_ = false;
};

}  // namespace dekvanto::core
