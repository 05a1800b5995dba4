// Paths in a folder that are no regular files, for the tests of everything that opens the
// firmware files: a named pipe without a writer (an open or a read that waited for one would
// never end), a socket, a folder, and the character device /dev/null.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace dekvanto::testing {

inline std::vector<std::string> MakeNonRegularFiles(const std::filesystem::path &folder) {
    const std::filesystem::path pipe = folder / "pipe.bin";
    const std::filesystem::path socket_path = folder / "socket.bin";
    const std::filesystem::path directory = folder / "folder.bin";
    std::filesystem::create_directories(directory);
    if (::mkfifo(pipe.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make a named pipe");
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);  // the socket's file stays behind
    }
    if (!bound) {
        throw std::runtime_error("cannot make a socket file");
    }
    return {pipe.string(), socket_path.string(), directory.string(), "/dev/null"};
}

}  // namespace dekvanto::testing
