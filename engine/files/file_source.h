// The files of a download and the memory that holds them, behind an interface so that tests can
// make opening, allocating and reading fail on purpose.
#pragma once

#include <cstdint>
#include <memory>

namespace dekvanto::engine {

class InputFile {
  public:
    virtual ~InputFile() = default;
    // The file's length in bytes.
    virtual uint64_t Length() = 0;
    // Reads up to count bytes from the current position; returns the number read.
    virtual uint64_t Read(uint8_t *destination, uint64_t count) = 0;
};

// A memory block that holds a file's content; freed by its own deleter.
using MemoryBlock = std::unique_ptr<uint8_t[], void (*)(uint8_t *)>;

class FileSource {
  public:
    virtual ~FileSource() = default;
    // Opens a file read-only, in binary, others may read and write it meanwhile. Null when it
    // cannot be opened (missing, not permitted, or not a regular file: a directory, a device, a
    // pipe or a socket).
    virtual std::unique_ptr<InputFile> Open(const char *path) = 0;
    // A memory block of size bytes, or null when there is not enough memory.
    virtual MemoryBlock Allocate(uint64_t size) = 0;
};

// The machine's files and memory.
FileSource &SystemFiles();

}  // namespace dekvanto::engine
