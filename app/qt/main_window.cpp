#include "qt/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <utility>

#include "core/settings_store.h"
#include "core/string_table.h"
#include "core/version_caption.h"
#include "core/window_target.h"
#include "qt/about_box.h"
#include "qt/artwork.h"
#include "qt/dialog_units.h"
#include "qt/message_box.h"

namespace dekvanto::qt {
namespace {

// The caption of the window's template; the release number is appended to it.
constexpr std::string_view kCaption = "DEK VANTO";

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString DefaultChooser(QWidget *owner, const QString &title, const QString &folder,
                       const QString &filter) {
    return QFileDialog::getOpenFileName(owner, title, folder, filter);
}

QLineEdit *ReadOnlyBox(QWidget *parent, const QRect &geometry, const char *name) {
    auto *box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setGeometry(geometry);
    box->setAccessibleName(QString::fromLatin1(name));
    return box;
}

QPushButton *Button(QWidget *parent, const char *text, const QRect &geometry, const char *name) {
    auto *button = new QPushButton(QString::fromLatin1(text), parent);
    button->setGeometry(geometry);
    button->setAccessibleName(QString::fromLatin1(name));
    return button;
}

QCheckBox *CheckBox(QWidget *parent, const char *text, const QRect &geometry) {
    auto *box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setGeometry(geometry);
    box->setAccessibleName(QString::fromLatin1(text));
    return box;
}

void Label(QWidget *parent, const char *text, const QRect &geometry) {
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(geometry);
}

void Group(QWidget *parent, const char *title, const QRect &geometry) {
    auto *group = new QGroupBox(QString::fromLatin1(title), parent);
    group->setGeometry(geometry);
    group->lower();
}

bool IsEnterOrEscape(const QEvent *event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace

MainWindow::MainWindow(const app::ProgramFiles &files, app::Engine &engine, app::PortSource &ports,
                       QWidget *parent)
    : QDialog(parent),
      files_(files),
      engine_(engine),
      ports_(ports),
      store_(files.settings_file),
      settings_(app::ReadCurrentSettings(store_)),
      records_([this](std::string_view text) { ShowMessage(text); }),
      settings_rules_(settings_, records_.loader, store_),
      choose_file_(DefaultChooser) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildControls();
    products_ =
        std::make_unique<app::ProductSelection>(app::ProductTable{}, files_.ProgramDirectoryText());
    control_ = std::make_unique<app::DownloadControl>(engine_, *this, settings_, records_,
                                                      switches_, store_);
    OnPersoSwitch();

    const std::string_view about = app::AppString(app::StringId::kAboutMenuEntry);
    if (!about.empty()) {
        auto *action = new QAction(Text(about), this);
        action->setShortcut(QKeySequence(Qt::Key_F1));
        connect(action, &QAction::triggered, this, &MainWindow::OnAbout);
        addAction(action);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    setWindowIcon(ProgramIcon());
    progress_->setRange(0, 100);
    progress_->setValue(0);

    records_.LoadFilePaths(store_);
    records_.SummariseAllFiles(store_);
    LoadProducts();
    ShowFileSummary();
    setWindowTitle(Text(app::WindowTitle(kCaption, files_.ProgramDirectoryText())));

    file_watch_.setInterval(kFileWatchMs);
    connect(&file_watch_, &QTimer::timeout, this, &MainWindow::OnFileWatch);
    ConnectControls();
    StartFileWatch();
    QCoreApplication::instance()->installEventFilter(this);
}

MainWindow::~MainWindow() {
    QCoreApplication::instance()->removeEventFilter(this);
}

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
    code_switch_ = CheckBox(this, "Download Binary Code File", du.Rect(22, 58, 209, 9));
    code_switch_->setChecked(true);
    Label(this, "Name:", du.Rect(19, 74, 35, 8));
    code_name_ = ReadOnlyBox(this, du.Rect(64, 71, 178, 14), "Application file name");
    code_browse_ = Button(this, "&Browse...", du.Rect(246, 71, 52, 14), "Browse application file");
    Label(this, "Size:", du.Rect(19, 90, 35, 8));
    code_size_ = ReadOnlyBox(this, du.Rect(64, 89, 87, 14), "Application file size");
    Label(this, "CheckSum:", du.Rect(161, 90, 40, 8));
    code_checksum_ = ReadOnlyBox(this, du.Rect(208, 89, 34, 14), "Application file checksum");

    Group(this, "Personalization File", du.Rect(5, 114, 300, 57));
    perso_switch_ =
        CheckBox(this, "Download Binary Personalization File", du.Rect(20, 125, 209, 9));
    Label(this, "Name:", du.Rect(19, 141, 35, 8));
    perso_name_ = ReadOnlyBox(this, du.Rect(64, 137, 178, 14), "Personalization file name");
    perso_browse_ =
        Button(this, "&Browse...", du.Rect(246, 137, 52, 14), "Browse personalization file");
    Label(this, "Size:", du.Rect(22, 154, 35, 8));
    perso_size_ = ReadOnlyBox(this, du.Rect(63, 153, 87, 14), "Personalization file size");

    Group(this, "Product", du.Rect(5, 174, 300, 25));
    product_ = new QComboBox(this);
    product_->addItem(Text(app::kNoProduct));
    product_->setMaxVisibleItems(10);
    product_->setGeometry(du.Rect(54, 182, 144, 13));
    product_->setAccessibleName(QStringLiteral("Product"));

    Group(this, "Setup Line", du.Rect(5, 201, 300, 31));
    Label(this, "Com Port:", du.Rect(23, 214, 35, 8));
    port_ = ReadOnlyBox(this, du.Rect(68, 212, 34, 12), "Com port");
    properties_ = Button(this, "&Properties...", du.Rect(245, 211, 52, 14), "Properties...");

    byte_counter_ = new QLabel(QStringLiteral("Download :"), this);
    byte_counter_->setGeometry(du.Rect(15, 233, 120, 8));
    byte_counter_->setAccessibleName(byte_counter_->text());
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setGeometry(du.Rect(5, 242, 300, 10));
    progress_->setAccessibleName(QStringLiteral("Download progress"));
    log_ = new QListWidget(this);
    log_->setGeometry(du.Rect(5, 255, 300, 69));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setAccessibleName(QStringLiteral("Log"));
    start_stop_ = Button(this, "&Start download", du.Rect(5, 327, 300, 20), "Start download");
    start_stop_->setDefault(true);
}

void MainWindow::ConnectControls() {
    connect(start_stop_, &QPushButton::clicked, this, &MainWindow::OnStartStop);
    connect(code_browse_, &QPushButton::clicked, this, &MainWindow::OnBrowseCodeFile);
    connect(perso_browse_, &QPushButton::clicked, this, &MainWindow::OnBrowsePersoFile);
    connect(code_switch_, &QCheckBox::clicked, this, &MainWindow::OnCodeSwitch);
    connect(perso_switch_, &QCheckBox::clicked, this, &MainWindow::OnPersoSwitch);
    connect(product_, &QComboBox::activated, this, &MainWindow::OnProductSelected);
    connect(properties_, &QPushButton::clicked, this, &MainWindow::OnProperties);
}

void MainWindow::LoadProducts() {
    products_ = std::make_unique<app::ProductSelection>(app::LoadProductList(files_.product_list),
                                                        files_.ProgramDirectoryText());
    product_->clear();
    for (const std::string &entry : products_->Entries()) {
        product_->addItem(QString::fromStdString(entry));
    }
    const std::optional<app::ProductChoice> restored = products_->Restore(store_, CurrentTarget());
    product_->setCurrentIndex(products_->Position());
    ApplyProductChoice(restored);
}

app::MemoryTarget MainWindow::CurrentTarget() const {
    return app::WindowTarget(records_, settings_);
}

void MainWindow::ApplyProductChoice(const std::optional<app::ProductChoice> &choice) {
    if (choice) {
        app::ApplyWindowTarget(choice->target, records_, settings_);
        const bool allowed = choice->personalization_allowed;
        if (!allowed) {
            perso_switch_->setChecked(false);
        }
        for (QWidget *control :
             {static_cast<QWidget *>(perso_switch_), static_cast<QWidget *>(perso_name_),
              static_cast<QWidget *>(perso_browse_), static_cast<QWidget *>(perso_size_)}) {
            control->setEnabled(allowed);
        }
    }
    switches_.code = code_switch_->isChecked();
    switches_.perso = perso_switch_->isChecked();
}

void MainWindow::ShowFileSummary() {
    code_name_->setText(QString::fromStdString(records_.code.path));
    code_size_->setText(QString::fromStdString(records_.code.size_text));
    code_checksum_->setText(QString::fromStdString(records_.code.checksum_text));
    perso_name_->setText(QString::fromStdString(records_.perso.path));
    perso_size_->setText(QString::fromStdString(records_.perso.size_text));
    port_->setText(QString::fromStdString(settings_.port_name));
    repaint();
}

void MainWindow::OnStartStop() {
    control_->OnStartStop();
    if (quit_requested_ && control_->State() == app::DownloadState::kIdle) {
        // The quit request that ended the download is carried out now that the engine is done.
        quit_requested_ = false;
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    }
}

void MainWindow::OnBrowseCodeFile() {
    const bool watching = file_watch_.isActive();
    StopFileWatch();
    const QString chosen =
        choose_file_(this, QStringLiteral("Select Application File for Download"),
                     QString::fromStdString(app::FolderOfPath(records_.code.path)),
                     QStringLiteral("binary File (*.bin);;All Files (*)"));
    if (!chosen.isEmpty() && records_.ChooseCodeFile(chosen.toStdString(), store_)) {
        ShowFileSummary();
    }
    if (watching) {
        StartFileWatch();
    }
}

void MainWindow::OnBrowsePersoFile() {
    const bool watching = file_watch_.isActive();
    StopFileWatch();
    const QString chosen =
        choose_file_(this, QStringLiteral("Select Personalization File for Download"),
                     QString::fromStdString(app::FolderOfPath(records_.perso.path)),
                     QStringLiteral("binary File (*.psb);;All Files (*)"));
    if (!chosen.isEmpty() && records_.ChoosePersoFile(chosen.toStdString(), store_)) {
        ShowFileSummary();
    }
    if (watching) {
        StartFileWatch();
    }
}

void MainWindow::OnCodeSwitch() {
    switches_.code = code_switch_->isChecked();
    switches_.perso = perso_switch_->isChecked();
    for (QWidget *control :
         {static_cast<QWidget *>(code_name_), static_cast<QWidget *>(code_size_),
          static_cast<QWidget *>(code_browse_), static_cast<QWidget *>(code_checksum_)}) {
        control->setEnabled(switches_.code);
    }
}

void MainWindow::OnPersoSwitch() {
    switches_.code = code_switch_->isChecked();
    switches_.perso = perso_switch_->isChecked();
    for (QWidget *control :
         {static_cast<QWidget *>(perso_name_), static_cast<QWidget *>(perso_browse_),
          static_cast<QWidget *>(perso_size_)}) {
        control->setEnabled(switches_.perso);
    }
}

void MainWindow::OnProductSelected(int position) {
    ApplyProductChoice(products_->Choose(position, store_, CurrentTarget()));
}

void MainWindow::OnProperties() {
    SettingsWindow window(settings_rules_, ports_, files_.ProgramDirectoryText(), choose_file_,
                          this);
    window.exec();
    if (settings_rules_.Changed()) {
        products_->ResetToNone();
        product_->setCurrentIndex(0);
    }
    ShowFileSummary();
}

void MainWindow::OnAbout() {
    AboutBox box(files_.ProgramDirectoryText(), this);
    box.exec();
}

void MainWindow::OnFileWatch() {
    file_watch_.stop();
    if (records_.OnFileWatch()) {
        ShowFileSummary();
    }
    file_watch_.start();
}

void MainWindow::SetButtonText(std::string_view text) {
    counter_repainted_ = false;
    start_stop_->setText(Text(text));
    start_stop_->setAccessibleName(start_stop_->text().remove(QLatin1Char('&')));
}

void MainWindow::ResetProgress() {
    progress_->setValue(0);
}

void MainWindow::StepProgress() {
    const int next = progress_->value() + 1;
    progress_->setValue(next > progress_->maximum() ? progress_->minimum() : next);
    progress_->repaint();
}

void MainWindow::SetByteCounterText(std::string_view text) {
    byte_counter_->setText(Text(text));
    byte_counter_->setAccessibleName(byte_counter_->text());
    // While the engine sends, a byte count repaints the counter alone, at once: repainting the
    // whole window on each message would hold the line up.
    const auto state = control_ != nullptr ? control_->State() : app::DownloadState::kIdle;
    if (state == app::DownloadState::kDownloading || state == app::DownloadState::kStopping) {
        byte_counter_->repaint();
        counter_repainted_ = true;
    }
}

void MainWindow::AddLogLine(std::string_view text) {
    log_->addItem(Text(text));
    log_->setCurrentRow(log_->count() - 1);
    log_->scrollToItem(log_->item(log_->count() - 1));
    repaint();
}

void MainWindow::ShowMessage(std::string_view text) {
    ShowBox(this, text);
}

void MainWindow::EnableControls(bool on) {
    // The code file's "&Browse..." follows its check box: a switched-off file is not chosen.
    code_browse_->setEnabled(on && code_switch_->isChecked());
    properties_->setEnabled(on);
    code_switch_->setEnabled(on);
    if (products_->PersonalizationAllowed()) {
        perso_switch_->setEnabled(on);
    }
    product_->setEnabled(on);
}

void MainWindow::StopFileWatch() {
    file_watch_.stop();
}

void MainWindow::StartFileWatch() {
    file_watch_.start();
}

void MainWindow::Repaint() {
    // The repaint that follows a byte count during a download: the counter has been repainted.
    if (std::exchange(counter_repainted_, false)) {
        return;
    }
    repaint();
}

bool MainWindow::DispatchEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool taken = quit_pending_;
    quit_pending_ = false;
    return taken;
}

void MainWindow::reject() {
    if (!control_->OnCloseRequest()) {
        return;
    }
    file_watch_.stop();
    QDialog::reject();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (control_ == nullptr || control_->State() == app::DownloadState::kIdle) {
        return false;
    }
    if (event->type() == QEvent::Quit) {
        quit_requested_ = true;
        quit_pending_ = true;
        return true;
    }
    if (IsEnterOrEscape(event) && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget == this || isAncestorOf(widget)) {
            return true;
        }
    }
    return false;
}

}  // namespace dekvanto::qt
