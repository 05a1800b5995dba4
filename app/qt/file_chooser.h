// The program's open-file dialogs on Qt: QFileDialog by default, or a chooser of the caller's
// (the tests answer the dialogs with their own).
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "core/window/file_dialogs.h"

namespace dekvanto::qt {

// Asks for a file: title, starting folder, filter in Qt's form; returns the chosen path or ""
// when cancelled.
using FileChooser = std::function<QString(QWidget *owner, const QString &title,
                                          const QString &folder, const QString &filter)>;

// QFileDialog::getOpenFileName.
QString OpenFileDialog(QWidget *owner, const QString &title, const QString &folder,
                       const QString &filter);

// Shows `dialog` through `choose` over `owner`, its filter written as "binary File (*.bin);;All
// Files (*)". Returns the chosen path, or "" when cancelled.
std::string ChooseFileWith(const FileChooser &choose, QWidget *owner,
                           const core::FileDialog &dialog, const std::string &folder);

}  // namespace dekvanto::qt
