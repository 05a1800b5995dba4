// What both systems' line files share: the one handle moves with its owner and is closed once,
// by the last one.
#include "dekvanto/platform/line_file.h"

#include <utility>

namespace dekvanto::platform {

LineFile::LineFile(LineFile &&other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

LineFile &LineFile::operator=(LineFile &&other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

LineFile::~LineFile() {
    Close();
}

}  // namespace dekvanto::platform
