#include "core/records/record_file.h"

#include <utility>

namespace dekvanto::core {

std::optional<RecordFile> RecordFile::Open(const std::string &path, std::string &error) {
    std::string reason;
    std::optional<platform::LineFile> file = platform::LineFile::Open(path, reason);
    if (!file) {
        error = "cannot open the record file " + path + ": " + reason;
        return std::nullopt;
    }
    return RecordFile(std::move(*file), path);
}

bool RecordFile::FollowPath(std::string &error) {
    if (file_.IsAt(path_)) {
        return true;
    }
    // Deleted, renamed or replaced since it was opened: the lines go to the file at the path.
    std::string reason;
    std::optional<platform::LineFile> file = platform::LineFile::Open(path_, reason);
    if (!file) {
        error = "cannot write the record file " + path_ +
                ": it was deleted or replaced, and cannot be made again: " + reason;
        return false;
    }
    file_ = std::move(*file);
    return true;
}

bool RecordFile::Append(std::string_view line, std::string &error) {
    if (!FollowPath(error)) {
        return false;
    }
    std::string reason;
    if (!file_.AppendLine(line, reason)) {
        error = "cannot write the record file " + path_ + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace dekvanto::core
