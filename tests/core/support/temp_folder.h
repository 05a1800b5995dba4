// A fresh folder under the system's temporary directory, removed with everything in it when the
// object goes away.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dekvanto::core {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dekvanto-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path &name) const {
        return path_ / name;
    }

    // Writes `contents` as the file `name` (folders created as needed) and returns its path.
    std::filesystem::path Write(const std::filesystem::path &name,
                                std::string_view contents) const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return file;
    }

    // The bytes of the file `name`, or "<missing>" when it cannot be read.
    std::string Read(const std::filesystem::path &name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        if (!in) {
            return "<missing>";
        }
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    std::filesystem::path path_;
};

}  // namespace dekvanto::core
