#include <windows.h>

#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::platform {
namespace {

constexpr DWORD kLargestChunk = 1u << 20;
// FILETIME counts 100 ns steps from 1601-01-01; the status counts nanoseconds from 1970-01-01.
constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000LL;

HANDLE HandleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// A file on a disk that is no directory: not a device such as a serial port or NUL named like a
// file, nor a pipe.
bool IsRegularFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    return ::GetFileType(handle) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(handle, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::OpenOutsideText(const std::string &path) {
    return Open(path);
}

bool RefusedAsLinkForAdministrator(const std::string &) {
    return false;
}

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string &path) {
    if (path.empty()) {
        return std::nullopt;
    }
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    if (!IsRegularFile(handle)) {
        ::CloseHandle(handle);
        return std::nullopt;
    }
    return ReadOnlyFile(reinterpret_cast<std::intptr_t>(handle));
}

void ReadOnlyFile::Close() {
    if (handle_ != -1) {
        ::CloseHandle(HandleOf(handle_));
        handle_ = -1;
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

namespace {

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return FileIdentity{
        information.dwVolumeSerialNumber,
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> ReadOnlyFile::Identity() const {
    return IdentityOfHandle(HandleOf(handle_));
}

std::optional<FileIdentity> IdentityOfPath(const std::string &path) {
    HANDLE handle =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
    ::CloseHandle(handle);
    return identity;
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

bool ReadOnlyFile::Seek(uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(HandleOf(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

}  // namespace dekvanto::platform
