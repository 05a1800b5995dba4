#include <cstdio>
#include <new>

#include "files/file_source.h"
#include "files/read_only_file.h"

namespace dekvanto::engine {
namespace {

class StdInputFile final : public InputFile {
  public:
    StdInputFile(FileHandle file, uint64_t length) : file_(std::move(file)), length_(length) {}

    uint64_t Length() override { return length_; }

    uint64_t Read(uint8_t *destination, uint64_t count) override {
        return ReadUpTo(file_.get(), destination, count);
    }

  private:
    FileHandle file_;
    uint64_t length_;
};

class StdFileSource final : public FileSource {
  public:
    std::unique_ptr<InputFile> Open(const char *path) override {
        FileHandle file = OpenReadOnly(path);
        if (file == nullptr) {
            return nullptr;
        }
        const std::optional<uint64_t> length = OpenedFileLength(file.get());
        if (!length) {
            return nullptr;
        }
        return std::make_unique<StdInputFile>(std::move(file), *length);
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
    static StdFileSource files;
    return files;
}

}  // namespace dekvanto::engine
