// What the writers of whole files and of the record file share on POSIX: writing a whole buffer
// and making a file's name in its folder last through a power cut.
#pragma once

#include <filesystem>
#include <string_view>

namespace dekvanto::app {

// Writes all of text, going on after a short write or an interrupted call. False on an error
// (errno says which; EIO when the system wrote nothing without saying why).
bool WriteAll(int fd, std::string_view text);

// Flushes the folder that holds `file` to stable storage, so that a file made or renamed there
// is still found after a power cut. Nothing is reported: the file's own data are flushed apart.
void SyncFolder(const std::filesystem::path &file);

}  // namespace dekvanto::app
