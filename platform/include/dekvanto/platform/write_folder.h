// A folder held open for creating and replacing files in it by name, reached only along the ways
// that write_rules.h allows (POSIX).
//
// The folder is opened one component at a time. A symbolic link on the way is followed only when
// root or the process's effective user made it; every later step names its file relative to the
// open folder (openat, renameat, symlinkat), so a folder renamed or swapped for a link after the
// checks cannot send the write elsewhere.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "dekvanto/platform/write_rules.h"

namespace dekvanto::platform {

class WriteFolder {
  public:
    // Opens `folder` (a relative one from the folder held by `start`, by default the working
    // directory). With `create`, each missing folder is made (0777 less the umask) where the
    // rules let the process write, so root never leaves a folder of its own in a user's.
    // The result is not open, and `error` says why, when a folder is missing (without create),
    // cannot be opened or made, or when the way passes a link the rules refuse.
    static WriteFolder Open(const std::filesystem::path &folder, bool create,
                            std::error_code &error, int start = -1);

    WriteFolder() = default;
    ~WriteFolder();
    WriteFolder(WriteFolder &&other) noexcept;
    WriteFolder &operator=(WriteFolder &&other) noexcept;
    WriteFolder(const WriteFolder &) = delete;
    WriteFolder &operator=(const WriteFolder &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The folder's descriptor (opened with O_PATH: for the *at calls and fstat only).
    int Descriptor() const { return fd_; }

    // What `name` holds in the folder, a link not followed (kOther when it cannot be looked at).
    EntryKind KindOf(const std::string &name) const;
    // The text of the symbolic link `name` in the folder; false with error when it cannot be read.
    bool ReadLink(const std::string &name, std::filesystem::path &target,
                  std::error_code &error) const;
    // Why `name` may not be written here by this process (write_rules.h), or no error.
    std::error_code CheckWrite(const std::string &name) const;
    // Flushes the folder to stable storage, so that a name made or renamed in it survives a power
    // cut. Nothing is reported: the file's own data are flushed apart.
    void Sync() const;

  private:
    explicit WriteFolder(int fd) : fd_(fd) {}

    int fd_ = -1;
};

}  // namespace dekvanto::platform
