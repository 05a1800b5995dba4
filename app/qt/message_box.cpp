#include "qt/message_box.h"

#include <QMessageBox>

namespace dekvanto::qt {

void ShowBox(QWidget *owner, std::string_view text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kBoxCaption),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);  // file names and ports are shown as they are
    box.exec();
}

}  // namespace dekvanto::qt
