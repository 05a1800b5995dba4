// Where the mapping check reads its two files from: random-access byte sources, so that the
// check runs the same on files (the exported entry) and on bytes in memory (tests, fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace dekvanto::engine {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to destination.size() bytes starting at offset into destination and returns how
    // many it read: fewer, down to 0, at the end of the data or when the data cannot be read (the
    // check treats a read error like the end of the file). Bytes of destination past the returned
    // count are unspecified.
    virtual std::size_t ReadAt(uint64_t offset, std::span<uint8_t> destination) = 0;
};

// Bytes already in memory; the span must outlive the source.
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    std::size_t ReadAt(uint64_t offset, std::span<uint8_t> destination) override;

  private:
    std::span<const uint8_t> bytes_;
};

// Opens the files that the check reads.
class ByteSourceOpener {
  public:
    virtual ~ByteSourceOpener() = default;
    // The file at path, open for reading, or null when it cannot be opened. The file stays open
    // until the source is destroyed.
    virtual std::unique_ptr<ByteSource> Open(const char *path) = 0;
};

// The machine's files: opened read-only in binary mode, others may read and write them
// meanwhile. Only regular files open; a directory, a device, a pipe or a socket counts as a file
// that cannot be opened (reading them could block or never end).
ByteSourceOpener &SystemFileOpener();

}  // namespace dekvanto::engine
