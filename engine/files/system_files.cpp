#include <cstdio>
#include <filesystem>
#include <new>

#include "files/file_source.h"

namespace mx40 {
namespace {

class StdInputFile final : public InputFile {
  public:
    StdInputFile(std::FILE *file, uint64_t length) : file_(file), length_(length) {}
    ~StdInputFile() override { std::fclose(file_); }

    uint64_t Length() override { return length_; }

    uint64_t Read(uint8_t *destination, uint64_t count) override {
        uint64_t total = 0;
        while (total < count) {
            const std::size_t n = std::fread(destination + total, 1, count - total, file_);
            if (n == 0) {
                break;
            }
            total += n;
        }
        return total;
    }

  private:
    std::FILE *file_;
    uint64_t length_;
};

class StdFileSource final : public FileSource {
  public:
    std::unique_ptr<InputFile> Open(const char *path) override {
        if (path == nullptr) {
            return nullptr;
        }
        std::error_code error;
        const std::filesystem::path name(path);
        if (!std::filesystem::is_regular_file(name, error)) {
            return nullptr;
        }
        const uint64_t length = std::filesystem::file_size(name, error);
        if (error) {
            return nullptr;
        }
        std::FILE *file = std::fopen(path, "rb");
        if (file == nullptr) {
            return nullptr;
        }
        return std::make_unique<StdInputFile>(file, length);
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

}  // namespace mx40
