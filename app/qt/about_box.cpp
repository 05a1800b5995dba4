#include "qt/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "core/window/version_caption.h"
#include "qt/artwork.h"
#include "qt/dialog_units.h"

namespace dekvanto::qt {

AboutBox::AboutBox(const std::string &program_directory, QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About DEK VANTO"));
    setWindowIcon(ProgramIcon());
    const DialogUnits du(font());
    setFixedSize(du.Size(217, 55));

    auto *icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(IconImage()));
    icon->setGeometry(du.Rect(11, 17, 20, 20));
    icon->setAccessibleName(QStringLiteral("Program icon"));

    auto *version_label = new QLabel(QStringLiteral("Version :"), this);
    version_label->setGeometry(du.Rect(40, 10, 30, 8));

    auto *notice = new QLabel(QStringLiteral("Firmware downloader for VANTO phones"), this);
    notice->setGeometry(du.Rect(33, 30, 171, 11));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.Rect(178, 7, 32, 14));
    ok->setDefault(true);
    ok->setAccessibleName(QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *version =
        new QLabel(QString::fromStdString(core::AboutVersionText(program_directory)), this);
    version->setTextFormat(Qt::PlainText);  // the version file's text, as it is
    version->setObjectName(QStringLiteral("versionText"));
    version->setAccessibleName(QStringLiteral("Version"));
    version->setGeometry(du.Rect(75, 10, 95, 8));
}

}  // namespace dekvanto::qt
