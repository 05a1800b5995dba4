// Reading a file as a whole, and replacing a file as a whole so that no reader or crash ever
// sees it half written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace dekvanto::platform {

// The file's bytes, or nothing when it cannot be opened or read; `error` then says why
// (std::errc::no_such_file_or_directory for a missing file).
std::optional<std::string> ReadWholeFile(const std::filesystem::path &path, std::error_code &error);
std::optional<std::string> ReadWholeFile(const std::filesystem::path &path);

// Makes `contents` the file's bytes: they are written to a new temporary file in the same folder,
// flushed to the disk, and renamed over the file in one step. A reader sees the old bytes or the
// new ones, never a mixture, and a crash leaves the old file whole. The file keeps its permission
// bits (and, where the process may set them, its owner and group); a new file gets the usual
// permissions of the process (0666 less the umask). A read-only file (no write permission for the
// process, or no write permission bit at all, which holds even a privileged process back) is not
// replaced. Returns false when the file could not be replaced, with the reason in `error`; the
// file is then as it was and no temporary file is left behind.
//
// Elsewhere than on Windows, a hostile set-up cannot turn the write against the system or a user
// (write_rules.h): a process running as root writes only into folders that root owns and
// never through a symbolic link, so that, started with a user's HOME, it neither replaces what a
// link planted there leads to nor leaves root's files in the user's folders. Any other user writes
// through a symbolic link at `path` only in a folder of its own: the file the link leads to is
// replaced, or made when it does not exist yet, and the link stays. A link that another user made
// on the way to the folder is never followed. Such refusals come with their reason in `error`
// (WriteRefusal).
//
// On Windows the rename is MoveFileExA (replacing, written through); the new file takes the old
// one's attributes, and a file with the read-only attribute is not replaced.
bool ReplaceWholeFile(const std::filesystem::path &path, std::string_view contents,
                      std::error_code &error);
bool ReplaceWholeFile(const std::filesystem::path &path, std::string_view contents);

}  // namespace dekvanto::platform
