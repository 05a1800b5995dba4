// A file opened for reading raw bytes, with others free to read and write it meanwhile: the
// machine's read-only opener (dekvanto/platform/read_only_file.h). Only regular files open; a
// directory, a device, a named pipe or a socket counts as a file that does not open.
#pragma once

#include <optional>
#include <string>

#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::core {

using FileStatus = platform::FileStatus;
using ReadOnlyFile = platform::ReadOnlyFile;

// The absolute, lexically normal form of path (relative paths are taken from the working
// directory); the path itself when that cannot be formed.
std::string FullPath(const std::string &path);

// The status of the file at path when it opens for reading.
std::optional<FileStatus> StatusOfReadableFile(const std::string &path);

}  // namespace dekvanto::core
