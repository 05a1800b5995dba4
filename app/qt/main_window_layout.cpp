// The main window's layout: its controls at their places in dialog units, in the order of the
// window's template (which is the tab order), each control of the model filed under its
// identifier.
#include <QProgressBar>

#include "qt/artwork.h"
#include "qt/control_builders.h"
#include "qt/dialog_units.h"
#include "qt/main_window.h"

namespace dekvanto::qt {

using C = core::WindowControl;

void MainWindow::BuildControls() {
    const DialogUnits du(font());
    setFixedSize(du.Size(310, 354));

    auto *banner = new QLabel(this);
    banner->setPixmap(QPixmap::fromImage(BannerImage()));
    banner->setScaledContents(true);
    banner->setFrameStyle(QFrame::Box | QFrame::Plain);
    banner->setGeometry(du.Rect(3, 1, 302, 46));
    banner->setAccessibleName(QStringLiteral("Banner"));

    Group(this, "Application File", du.Rect(5, 49, 300, 57));
    Keep(C::kCodeSwitch, CheckBox(this, "Download Binary Code File", du.Rect(22, 58, 209, 9)));
    Label(this, "Name:", du.Rect(19, 74, 35, 8));
    Keep(C::kCodePath, ReadOnlyBox(this, du.Rect(64, 71, 178, 14), "Application file name"));
    Keep(C::kCodeBrowse,
         Button(this, "&Browse...", du.Rect(246, 71, 52, 14), "Browse application file"));
    Label(this, "Size:", du.Rect(19, 90, 35, 8));
    Keep(C::kCodeSize, ReadOnlyBox(this, du.Rect(64, 89, 87, 14), "Application file size"));
    Label(this, "CheckSum:", du.Rect(161, 90, 40, 8));
    Keep(C::kCodeChecksum,
         ReadOnlyBox(this, du.Rect(208, 89, 34, 14), "Application file checksum"));

    Group(this, "Personalization File", du.Rect(5, 114, 300, 57));
    Keep(C::kPersoSwitch,
         CheckBox(this, "Download Binary Personalization File", du.Rect(20, 125, 209, 9)));
    Label(this, "Name:", du.Rect(19, 141, 35, 8));
    Keep(C::kPersoPath, ReadOnlyBox(this, du.Rect(64, 137, 178, 14), "Personalization file name"));
    Keep(C::kPersoBrowse,
         Button(this, "&Browse...", du.Rect(246, 137, 52, 14), "Browse personalization file"));
    Label(this, "Size:", du.Rect(22, 154, 35, 8));
    Keep(C::kPersoSize, ReadOnlyBox(this, du.Rect(63, 153, 87, 14), "Personalization file size"));

    Group(this, "Product", du.Rect(5, 174, 300, 25));
    auto *product = Keep(C::kProduct, new QComboBox(this));
    product->setMaxVisibleItems(10);
    product->setGeometry(du.Rect(54, 182, 144, 13));
    product->setAccessibleName(QStringLiteral("Product"));

    Group(this, "Setup Line", du.Rect(5, 201, 300, 31));
    Label(this, "Com Port:", du.Rect(23, 214, 35, 8));
    Keep(C::kPort, ReadOnlyBox(this, du.Rect(68, 212, 34, 12), "Com port"));
    Keep(C::kProperties,
         Button(this, "&Properties...", du.Rect(245, 211, 52, 14), "Properties..."));

    byte_counter_ = new QLabel(QStringLiteral("Download :"), this);
    byte_counter_->setTextFormat(Qt::PlainText);
    byte_counter_->setGeometry(du.Rect(15, 233, 120, 8));
    byte_counter_->setAccessibleName(byte_counter_->text());
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setGeometry(du.Rect(5, 242, 300, 10));
    progress_->setAccessibleName(QStringLiteral("Download progress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    log_ = new QListWidget(this);
    log_->setGeometry(du.Rect(5, 255, 300, 69));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setAccessibleName(QStringLiteral("Log"));
    start_stop_ = Button(this, "&Start download", du.Rect(5, 327, 300, 20), "Start download");
    start_stop_->setDefault(true);
}

}  // namespace dekvanto::qt
