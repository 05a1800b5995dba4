#include <new>

#include "dekvanto/platform/read_only_file.h"
#include "files/file_source.h"

namespace dekvanto::engine {
namespace {

class SystemInputFile final : public InputFile {
  public:
    SystemInputFile(platform::ReadOnlyFile file, uint64_t length)
        : file_(std::move(file)), length_(length) {}

    uint64_t Length() override { return length_; }

    uint64_t Read(uint8_t *destination, uint64_t count) override {
        if (count > SIZE_MAX) {
            count = SIZE_MAX;
        }
        return file_.ReadUpTo(destination, static_cast<std::size_t>(count));
    }

  private:
    platform::ReadOnlyFile file_;
    uint64_t length_;
};

class SystemFileSource final : public FileSource {
  public:
    std::unique_ptr<InputFile> Open(const char *path) override {
        if (path == nullptr) {
            return nullptr;
        }
        std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::Open(path);
        const std::optional<platform::FileStatus> status = file ? file->Status() : std::nullopt;
        if (!status) {
            return nullptr;
        }
        return std::make_unique<SystemInputFile>(std::move(*file),
                                                 static_cast<uint64_t>(status->size));
    }

    MemoryBlock Allocate(uint64_t size) override {
        auto release = [](uint8_t *block) { delete[] block; };
        if (size > SIZE_MAX - 1) {
            return MemoryBlock(nullptr, release);
        }
        return MemoryBlock(new (std::nothrow) uint8_t[size == 0 ? 1 : size], release);
    }
};

}  // namespace

FileSource &SystemFiles() {
    static SystemFileSource files;
    return files;
}

}  // namespace dekvanto::engine
