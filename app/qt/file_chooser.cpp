#include "qt/file_chooser.h"

#include <QFileDialog>

namespace dekvanto::qt {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString OpenFileDialog(QWidget *owner, const QString &title, const QString &folder,
                       const QString &filter) {
    return QFileDialog::getOpenFileName(owner, title, folder, filter);
}

std::string ChooseFileWith(const FileChooser &choose, QWidget *owner,
                           const core::FileDialog &dialog, const std::string &folder) {
    const QString filter = Text(dialog.type_name) + QStringLiteral(" (") + Text(dialog.pattern) +
                           QStringLiteral(");;All Files (*)");
    return choose(owner, Text(dialog.title), QString::fromStdString(folder), filter).toStdString();
}

}  // namespace dekvanto::qt
