#include "mapcheck/byte_source.h"

#include <algorithm>

#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::engine {
namespace {

class FileByteSource final : public ByteSource {
  public:
    explicit FileByteSource(platform::ReadOnlyFile file) : file_(std::move(file)) {}

    std::size_t ReadAt(uint64_t offset, std::span<uint8_t> destination) override {
        if (!file_.Seek(offset)) {
            return 0;
        }
        return file_.ReadUpTo(destination.data(), destination.size());
    }

  private:
    platform::ReadOnlyFile file_;
};

class SystemOpener final : public ByteSourceOpener {
  public:
    std::unique_ptr<ByteSource> Open(const char *path) override {
        std::optional<platform::ReadOnlyFile> file =
            path != nullptr ? platform::ReadOnlyFile::Open(path) : std::nullopt;
        if (!file) {
            return nullptr;
        }
        return std::make_unique<FileByteSource>(std::move(*file));
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
