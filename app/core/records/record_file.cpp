#include "core/records/record_file.h"

#include <utility>

namespace dekvanto::core {

RecordFile::RecordFile(RecordFile &&other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

RecordFile &RecordFile::operator=(RecordFile &&other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

RecordFile::~RecordFile() {
    Close();
}

}  // namespace dekvanto::core
