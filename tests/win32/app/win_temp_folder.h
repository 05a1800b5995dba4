// A fresh folder under Windows' temporary folder, removed with everything in it afterwards.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace dekvanto::wintest {

class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::filesystem::path(temp) /
                ("dekvanto-app-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        // Read-only files would stop the removal.
        std::error_code ignored;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

    std::filesystem::path Write(const std::string &name, std::string_view contents) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return file;
    }

    // The file's bytes, or "<missing>".
    std::string Read(const std::string &name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        if (!in) {
            return "<missing>";
        }
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    int FileCount() const {
        int count = 0;
        for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(path_)) {
            ++count;
        }
        return count;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace dekvanto::wintest
