#include <windows.h>

#include <utility>

#include "core/read_only_file.h"

namespace dekvanto::app {
namespace {

constexpr DWORD kLargestChunk = 1u << 20;
// FILETIME counts 100 ns steps from 1601-01-01; the status counts nanoseconds from 1970-01-01.
constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000LL;

HANDLE HandleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string &path) {
    if (path.empty()) {
        return std::nullopt;
    }
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    // Only files on a disk count: not a directory, and not a device such as a serial port
    // named like a file.
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(handle);
        return std::nullopt;
    }
    return ReadOnlyFile(reinterpret_cast<std::intptr_t>(handle));
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile &&other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

ReadOnlyFile &ReadOnlyFile::operator=(ReadOnlyFile &&other) noexcept {
    if (this != &other) {
        if (handle_ != -1) {
            ::CloseHandle(HandleOf(handle_));
        }
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (handle_ != -1) {
        ::CloseHandle(HandleOf(handle_));
    }
}

std::optional<FileStatus> ReadOnlyFile::Status() const {
    LARGE_INTEGER size{};
    FILETIME written{};
    if (!::GetFileSizeEx(HandleOf(handle_), &size) ||
        !::GetFileTime(HandleOf(handle_), nullptr, nullptr, &written)) {
        return std::nullopt;
    }
    const int64_t ticks = static_cast<int64_t>(
        (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    FileStatus result;
    result.size = size.QuadPart;
    result.modified_ns = (ticks - kFileTimeOfUnixEpoch) * 100;
    return result;
}

std::size_t ReadOnlyFile::ReadUpTo(uint8_t *buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t left = size - done;
        const DWORD chunk = left > kLargestChunk ? kLargestChunk : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(HandleOf(handle_), buffer + done, chunk, &got, nullptr) || got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

}  // namespace dekvanto::app
