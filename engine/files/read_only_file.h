// Opening the download's files and the mapping check's files: read-only, in binary, others may
// read and write them meanwhile, and only regular files (a folder, device or pipe is refused, so
// nothing can block on it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

namespace dekvanto::engine {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
// Closes the file when it goes, on every way out.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The opened file, or null for a null path, a path that is no regular file, or a refusal. What
// is checked is the file that was opened: a path that is swapped for a folder or a pipe at the
// same moment is refused without blocking, and one that is removed after the open is still read
// whole.
FileHandle OpenReadOnly(const char *path);

// The length of an opened file, from the file itself (its path may be gone by now); nothing when
// the system cannot tell.
std::optional<uint64_t> OpenedFileLength(std::FILE *file);

// Reads from the current position until count bytes came or the file ended; returns how many.
uint64_t ReadUpTo(std::FILE *file, uint8_t *destination, uint64_t count);

}  // namespace dekvanto::engine
