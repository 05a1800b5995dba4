// Opening a file that a program writes as it goes, from its first byte (the byte trace): made
// when missing, emptied when it holds something.
#pragma once

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace dekvanto::platform {

// Opens `path` for writing text from the start. Elsewhere than on Windows the write rules of
// whole_file.h hold (write_rules.h): root never writes through a symbolic link nor into
// a folder another user owns, and anything but a regular file (a folder, a device, a pipe) is
// refused without blocking on it. The open stream, owned by the caller (fclose), or nullptr with
// the reason in `error`.
std::FILE *OpenOutputFile(const std::filesystem::path &path, std::error_code &error);

}  // namespace dekvanto::platform
