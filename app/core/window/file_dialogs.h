// The open-file dialogs of the program: the code file and the personalization file of the main
// window, and the loader file of the Settings dialog. Each front end shows them with its own
// dialog and writes the filter in its own form: the files of `pattern`, named "<type_name>
// (<pattern>)" and selected first, then every file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace dekvanto::core {

struct FileDialog {
    std::string_view title;
    std::string_view type_name;
    std::string_view pattern;
};

inline constexpr FileDialog kCodeFileDialog{"Select Application File for Download", "binary File",
                                            "*.bin"};
inline constexpr FileDialog kPersoFileDialog{"Select Personalization File for Download",
                                             "binary File", "*.psb"};
inline constexpr FileDialog kLoaderFileDialog{"Select Loader File for Downloading", "binary File",
                                              "*.bin"};

// Shows `dialog` starting in `folder` (the system's choice when empty) and returns the chosen
// file's path, or "" when the user cancelled.
using FileChooser = std::function<std::string(const FileDialog &dialog, const std::string &folder)>;

}  // namespace dekvanto::core
