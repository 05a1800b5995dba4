#include "dekvanto/platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "file_writes.h"

namespace dekvanto::platform {

std::FILE *OpenOutputFile(const std::filesystem::path &path, std::error_code &error) {
    const int fd = OpenWritable(path, O_WRONLY | O_CREAT | O_TRUNC, error);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "w");
    if (file == nullptr) {
        error = {errno, std::generic_category()};
        ::close(fd);
    }
    return file;
}

}  // namespace dekvanto::platform
