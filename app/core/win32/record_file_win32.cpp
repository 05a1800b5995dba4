#include <windows.h>

#include "core/record_file.h"

namespace dekvanto::app {
namespace {

// The byte that writers lock: far past any data, so that the lock (which Windows enforces on
// reads too) never holds up a reader of the lines.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0;

HANDLE HandleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string Reason(DWORD error) {
    char text[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

OVERLAPPED At(int64_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

class FileLock {
  public:
    explicit FileLock(HANDLE handle) : handle_(handle) {
        OVERLAPPED place = LockPlace();
        held_ = ::LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place) != 0;
    }
    ~FileLock() {
        if (held_) {
            OVERLAPPED place = LockPlace();
            ::UnlockFileEx(handle_, 0, 1, 0, &place);
        }
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool Held() const { return held_; }

  private:
    static OVERLAPPED LockPlace() {
        OVERLAPPED place{};
        place.Offset = kLockOffsetLow;
        place.OffsetHigh = kLockOffsetHigh;
        return place;
    }

    HANDLE handle_;
    bool held_ = false;
};

// Whether the file of `size` bytes ends in anything but a newline: the tail of a line whose writer
// died.
bool EndsInACutLine(HANDLE handle, int64_t size) {
    char last = '\n';
    DWORD read = 0;
    OVERLAPPED place = At(size - 1);
    return size > 0 && ::ReadFile(handle, &last, 1, &read, &place) && read == 1 && last != '\n';
}

}  // namespace

std::optional<RecordFile> RecordFile::Open(const std::string &path, std::string &error) {
    const std::string refused = "cannot open the record file " + path + ": ";
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = refused + "it is a folder";
        return std::nullopt;
    }
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = refused + Reason(::GetLastError());
        return std::nullopt;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        error = refused + "not a regular file";
        return std::nullopt;
    }
    return RecordFile(reinterpret_cast<std::intptr_t>(handle), path);
}

void RecordFile::Close() {
    if (handle_ != -1) {
        ::CloseHandle(HandleOf(handle_));
        handle_ = -1;
    }
}

bool RecordFile::Append(std::string_view line, std::string &error) {
    HANDLE handle = HandleOf(handle_);
    FileLock lock(handle);
    LARGE_INTEGER size{};
    if (!lock.Held() || !::GetFileSizeEx(handle, &size)) {
        error = "cannot write the record file " + path_ + ": " + Reason(::GetLastError());
        return false;
    }
    std::string text;
    text.reserve(line.size() + 2);
    if (EndsInACutLine(handle, size.QuadPart)) {
        text += '\n';
    }
    text += line;
    text += '\n';
    // Every writer writes at the end while it holds the lock: the lines follow each other whole.
    OVERLAPPED place = At(size.QuadPart);
    DWORD written = 0;
    if (!::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, &place) ||
        written != text.size() || !::FlushFileBuffers(handle)) {
        const DWORD code = ::GetLastError();
        error = "cannot write the record file " + path_ + ": " +
                Reason(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

}  // namespace dekvanto::app
