#include <windows.h>

#include <optional>
#include <string>

#include "dekvanto/platform/line_file.h"

namespace dekvanto::platform {
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

// Opens (creating when missing) the file at path for reading and appending, makes sure that it is
// a file on a disk and that the system lets it be locked. The handle, or INVALID_HANDLE_VALUE with
// the reason in `reason`.
HANDLE OpenForAppending(const std::string &path, std::string &reason) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = "it is a folder";
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = Reason(::GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        reason = "not a regular file";
        return INVALID_HANDLE_VALUE;
    }
    bool lockable = false;
    DWORD code = ERROR_SUCCESS;
    {
        const FileLock lock(handle);
        lockable = lock.Held();
        code = ::GetLastError();
    }
    if (!lockable) {
        ::CloseHandle(handle);
        reason = "the file cannot be locked: " + Reason(code);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// The volume and the file index of a file: what tells one file from another on Windows.
struct FileIdentity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;

    bool operator==(const FileIdentity &) const = default;
};

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                        information.nFileIndexLow};
}

// The identity of the file that path names now; nothing when it names none.
std::optional<FileIdentity> IdentityAt(const std::string &path) {
    // No access asked for and every sharing allowed: looking at the file disturbs no writer.
    HANDLE handle =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::optional<FileIdentity> identity = IdentityOf(handle);
    ::CloseHandle(handle);
    return identity;
}

}  // namespace

std::optional<LineFile> LineFile::Open(const std::string &path, std::string &reason) {
    HANDLE handle = OpenForAppending(path, reason);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    return LineFile(reinterpret_cast<std::intptr_t>(handle));
}

void LineFile::Close() {
    if (handle_ != -1) {
        ::CloseHandle(HandleOf(handle_));
        handle_ = -1;
    }
}

bool LineFile::IsAt(const std::string &path) const {
    const std::optional<FileIdentity> open_file = IdentityOf(HandleOf(handle_));
    return open_file && open_file == IdentityAt(path);
}

bool LineFile::AppendLine(std::string_view line, std::string &reason) {
    HANDLE handle = HandleOf(handle_);
    FileLock lock(handle);
    LARGE_INTEGER size{};
    if (!lock.Held() || !::GetFileSizeEx(handle, &size)) {
        reason = Reason(::GetLastError());
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
        reason = Reason(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

}  // namespace dekvanto::platform
