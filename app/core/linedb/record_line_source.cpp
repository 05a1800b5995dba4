#include "core/linedb/record_line_source.h"

#include <cstring>
#include <utility>

namespace dekvanto::core {
namespace {

constexpr std::size_t kBlock = 256 * 1024;

}  // namespace

RecordLineSource::RecordLineSource(platform::ReadOnlyFile file, LinePosition from)
    : file_(std::move(file)) {
    Restart(from);
}

void RecordLineSource::Restart(LinePosition from) {
    position_ = from;
    pending_.clear();
    block_.clear();
    looked_ = 0;
    skipping_ = false;
    skipped_bytes_ = 0;
    file_.Seek(from.offset);
}

bool RecordLineSource::ReadMore() {
    block_.resize(kBlock);
    const std::size_t got = file_.ReadUpTo(reinterpret_cast<uint8_t *>(block_.data()), kBlock);
    block_.resize(got);
    looked_ = 0;
    return got > 0;
}

std::optional<SourceLine> RecordLineSource::Next() {
    for (;;) {
        if (looked_ == block_.size() && !ReadMore()) {
            return std::nullopt;
        }
        const char *start = block_.data() + looked_;
        const std::size_t left = block_.size() - looked_;
        const void *newline = std::memchr(start, '\n', left);
        const std::size_t taken =
            newline ? static_cast<std::size_t>(static_cast<const char *>(newline) - start) : left;
        if (!skipping_) {
            pending_.append(start, taken);
        } else {
            skipped_bytes_ += taken;
        }
        looked_ += newline ? taken + 1 : taken;
        if (!skipping_ && pending_.size() > kLongestLine) {
            skipping_ = true;
            skipped_bytes_ = pending_.size();
            std::string().swap(pending_);
        }
        if (!newline) {
            continue;
        }
        SourceLine line;
        line.number = position_.line;
        line.too_long = skipping_;
        const uint64_t length = skipping_ ? skipped_bytes_ : pending_.size();
        if (!skipping_) {
            if (!pending_.empty() && pending_.back() == '\r') {
                pending_.pop_back();
            }
            line.text = std::move(pending_);
        }
        pending_.clear();
        skipping_ = false;
        skipped_bytes_ = 0;
        position_ = {position_.offset + length + 1, position_.line + 1};
        line.after = position_;
        return line;
    }
}

}  // namespace dekvanto::core
