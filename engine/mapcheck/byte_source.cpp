#include "mapcheck/byte_source.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "files/read_only_file.h"

namespace dekvanto::engine {
namespace {

class FileByteSource final : public ByteSource {
  public:
    explicit FileByteSource(FileHandle file) : file_(std::move(file)) {}

    std::size_t ReadAt(uint64_t offset, std::span<uint8_t> destination) override {
        // std::fseek takes a long; offsets past its range lie beyond any code file anyway.
        if (offset > static_cast<uint64_t>(LONG_MAX) ||
            std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
            return 0;
        }
        return static_cast<std::size_t>(
            ReadUpTo(file_.get(), destination.data(), destination.size()));
    }

  private:
    FileHandle file_;
};

class SystemOpener final : public ByteSourceOpener {
  public:
    std::unique_ptr<ByteSource> Open(const char *path) override {
        FileHandle file = OpenReadOnly(path);
        if (file == nullptr) {
            return nullptr;
        }
        return std::make_unique<FileByteSource>(std::move(file));
    }
};

}  // namespace

std::size_t MemoryByteSource::ReadAt(uint64_t offset, std::span<uint8_t> destination) {
    if (offset >= bytes_.size()) {
        return 0;
    }
    const auto rest = bytes_.subspan(static_cast<std::size_t>(offset));
    const std::size_t count = std::min(rest.size(), destination.size());
    std::copy_n(rest.begin(), count, destination.begin());
    return count;
}

ByteSourceOpener &SystemFileOpener() {
    static SystemOpener opener;
    return opener;
}

}  // namespace dekvanto::engine
