#include <windows.h>

#include <atomic>
#include <string>

#include "dekvanto/platform/whole_file.h"

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;
constexpr DWORD kLargestChunk = 1u << 20;

std::error_code LastError() {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return std::error_code(static_cast<int>(code), std::system_category());
}

// Creates a new, empty temporary file beside `file`; INVALID_HANDLE_VALUE on failure.
HANDLE CreateTemporaryBeside(const fs::path &file, fs::path &temporary) {
    static std::atomic<unsigned> counter{0};
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary =
            folder / ("." + file.filename().string() + ".tmp-" +
                      std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++));
        HANDLE handle = ::CreateFileA(temporary.string().c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            return handle;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE handle, std::string_view contents) {
    while (!contents.empty()) {
        const DWORD chunk =
            contents.size() > kLargestChunk ? kLargestChunk : static_cast<DWORD>(contents.size());
        DWORD written = 0;
        if (!::WriteFile(handle, contents.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        contents.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path &path, std::error_code &error) {
    error.clear();
    HANDLE handle = ::CreateFileA(path.string().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return std::nullopt;
    }
    std::string contents;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
            error = LastError();
            ::CloseHandle(handle);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        contents.append(buffer, got);
    }
    ::CloseHandle(handle);
    return contents;
}

std::optional<std::string> ReadWholeFile(const fs::path &path) {
    std::error_code error;
    return ReadWholeFile(path, error);
}

bool ReplaceWholeFile(const fs::path &path, std::string_view contents, std::error_code &error) {
    error.clear();
    const std::string target = path.string();
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        error = std::make_error_code((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                         ? std::errc::is_a_directory
                                         : std::errc::permission_denied);
        return false;
    }
    fs::path temporary;
    HANDLE handle = CreateTemporaryBeside(path, temporary);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return false;
    }
    const bool written = WriteAll(handle, contents) && ::FlushFileBuffers(handle);
    if (!written) {
        error = LastError();
    }
    const bool closed = ::CloseHandle(handle) != 0;
    const std::string temporary_name = temporary.string();
    if (written && closed && attributes != INVALID_FILE_ATTRIBUTES) {
        // The new file keeps the old one's hidden, system and archive marks.
        ::SetFileAttributesA(temporary_name.c_str(), attributes);
    }
    if (!written || !closed ||
        !::MoveFileExA(temporary_name.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = error ? error : LastError();
        ::DeleteFileA(temporary_name.c_str());
        return false;
    }
    return true;
}

bool ReplaceWholeFile(const fs::path &path, std::string_view contents) {
    std::error_code error;
    return ReplaceWholeFile(path, contents, error);
}

}  // namespace dekvanto::platform
