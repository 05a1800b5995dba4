// Paths held as text (as the settings file and the file dialogs have them), joined and cut with
// this platform's separators: '/' on POSIX; '\' and '/' on Windows, where the program directory
// ends in '\'. A backslash is an ordinary character of a POSIX file name.
#pragma once

#include <string>
#include <string_view>

namespace dekvanto::core {

// True when c separates the components of a path on this platform.
bool IsPathSeparator(char c);

// The file `name` in `folder`: folder, one separator (the platform's own, unless folder already
// ends with a separator) and name. An empty folder gives name alone; an empty name gives the
// folder ending with its separator.
std::string PathInFolder(std::string_view folder, std::string_view name);

// The folder a file dialog starts in for a file: path up to, not including, its last separator;
// empty when the path has none.
std::string FolderOfPath(std::string_view path);

}  // namespace dekvanto::core
