#include "core/record_file.h"

#include <utility>

namespace dekvanto::app {

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

}  // namespace dekvanto::app
