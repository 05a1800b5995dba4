#include <cerrno>

#include "dekvanto/platform/output_file.h"

namespace dekvanto::platform {

std::FILE *OpenOutputFile(const std::filesystem::path &path, std::error_code &error) {
    std::FILE *file = std::fopen(path.string().c_str(), "w");
    if (file == nullptr) {
        error = {errno, std::generic_category()};
    }
    return file;
}

}  // namespace dekvanto::platform
