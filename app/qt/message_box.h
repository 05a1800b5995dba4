// DEKVANTO's message boxes: modal, an OK button and the exclamation icon, the program's name as
// caption, owned by the main window while it exists. Returns when the user has closed the box.
#pragma once

#include <QWidget>
#include <string_view>

namespace dekvanto::qt {

inline constexpr const char *kBoxCaption = "dekvanto";

void ShowBox(QWidget *owner, std::string_view text);

}  // namespace dekvanto::qt
