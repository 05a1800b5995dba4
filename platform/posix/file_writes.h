// What the writers of whole files, output files and line files share on POSIX: writing a whole
// buffer and making a file's name in its folder last through a power cut.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "dekvanto/platform/write_folder.h"

namespace dekvanto::platform {

// Writes all of text, going on after a short write or an interrupted call. False on an error
// (errno says which; EIO when the system wrote nothing without saying why).
bool WriteAll(int fd, std::string_view text);

// Flushes the folder that holds `file` to stable storage, so that a file made or renamed there
// is still found after a power cut. Nothing is reported: the file's own data are flushed apart.
void SyncFolder(const std::filesystem::path &file);

// The file that writing a path writes: a name in a folder held open.
struct WritableName {
    WriteFolder folder;
    std::string name;
};

// Finds the file that writing `path` writes, under the rules of write_rules.h: the name itself,
// or where the links at it lead when the process may follow them (each link read and its target
// checked again, as the kernel would follow it). False with the reason in `error` when the rules
// refuse the write or a folder on the way cannot be opened.
bool FindWritableName(const std::filesystem::path &path, WritableName &found,
                      std::error_code &error);

// Opens the file that writing `path` writes, under the same rules, with open(2)'s `flags`
// (O_CREAT makes it 0666 less the umask). The name found is opened relative to its folder and
// never through a link (O_NOFOLLOW), so a link planted after the checks is not followed either;
// anything but a regular file is refused without blocking on it. The descriptor (close-on-exec),
// or -1 with the reason in `error`.
int OpenWritable(const std::filesystem::path &path, int flags, std::error_code &error);

}  // namespace dekvanto::platform
