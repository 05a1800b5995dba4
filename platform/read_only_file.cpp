// What both systems' read-only files share: the one handle moves with its owner and is closed
// once, by the last one.
#include "dekvanto/platform/read_only_file.h"

#include <utility>

namespace dekvanto::platform {

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile &&other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

ReadOnlyFile &ReadOnlyFile::operator=(ReadOnlyFile &&other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

}  // namespace dekvanto::platform
