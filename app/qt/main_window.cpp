#include "qt/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <utility>

#include "core/settings/settings_file.h"
#include "core/window/string_table.h"
#include "qt/about_box.h"
#include "qt/artwork.h"
#include "qt/control_builders.h"
#include "qt/message_box.h"
#include "qt/settings_window.h"

namespace dekvanto::qt {
namespace {

using C = core::WindowControl;

bool IsEnterOrEscape(const QEvent *event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace

MainWindow::MainWindow(const core::ProgramFiles &files, core::Engine &engine,
                       core::PortSource &ports, QWidget *parent)
    : QDialog(parent),
      model_(files, core::OpenSettingsFile(files.settings_file), engine, ports, *this),
      choose_file_(OpenFileDialog) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("DEK VANTO"));
    setWindowIcon(ProgramIcon());
    BuildControls();
    AddAboutAction();
    file_watch_.setInterval(core::kFileWatchPeriodMs);
    connect(&file_watch_, &QTimer::timeout, this, &MainWindow::OnFileWatch);
    model_.Initialise();
    ConnectControls();
    QCoreApplication::instance()->installEventFilter(this);
}

MainWindow::~MainWindow() {
    QCoreApplication::instance()->removeEventFilter(this);
}

void MainWindow::ConnectControls() {
    connect(start_stop_, &QPushButton::clicked, this, &MainWindow::OnStartStop);
    connect(Get<QPushButton>(C::kCodeBrowse), &QPushButton::clicked, this,
            [this] { model_.OnBrowseCodeFile(); });
    connect(Get<QPushButton>(C::kPersoBrowse), &QPushButton::clicked, this,
            [this] { model_.OnBrowsePersoFile(); });
    connect(Get<QCheckBox>(C::kCodeSwitch), &QCheckBox::clicked, this,
            [this](bool on) { model_.OnCodeSwitch(on); });
    connect(Get<QCheckBox>(C::kPersoSwitch), &QCheckBox::clicked, this,
            [this](bool on) { model_.OnPersoSwitch(on); });
    connect(Get<QComboBox>(C::kProduct), &QComboBox::activated, this,
            [this](int position) { model_.OnProductSelected(position); });
    connect(Get<QPushButton>(C::kProperties), &QPushButton::clicked, this,
            [this] { model_.OnProperties(); });
}

void MainWindow::AddAboutAction() {
    const std::string_view about = core::AppString(core::StringId::kAboutMenuEntry);
    if (about.empty()) {
        return;
    }
    auto *action = new QAction(Text(about), this);
    action->setShortcut(QKeySequence(Qt::Key_F1));
    connect(action, &QAction::triggered, this, &MainWindow::OnAbout);
    addAction(action);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::OnStartStop() {
    model_.OnStartStop();
    if (quit_requested_ && model_.Control().State() == core::DownloadState::kIdle) {
        // The quit request that ended the download is carried out now that the engine is done.
        quit_requested_ = false;
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    }
}

void MainWindow::OnAbout() {
    AboutBox box(model_.Files().ProgramDirectoryText(), this);
    box.exec();
}

void MainWindow::Enable(C control, bool on) {
    Get(control)->setEnabled(on);
}

void MainWindow::SetChecked(C control, bool checked) {
    Get<QCheckBox>(control)->setChecked(checked);
}

void MainWindow::SetText(C control, std::string_view text) {
    Get<QLineEdit>(control)->setText(Text(text));
}

void MainWindow::SetProductEntries(const std::vector<std::string> &entries) {
    auto *product = Get<QComboBox>(C::kProduct);
    product->clear();
    for (const std::string &entry : entries) {
        product->addItem(QString::fromStdString(entry));
    }
}

void MainWindow::SelectProduct(int position) {
    Get<QComboBox>(C::kProduct)->setCurrentIndex(position);
}

std::string MainWindow::Caption() {
    return windowTitle().toStdString();
}

void MainWindow::SetCaption(std::string_view caption) {
    setWindowTitle(Text(caption));
}

std::string MainWindow::ChooseFile(const core::FileDialog &dialog, const std::string &folder) {
    return ChooseFileWith(choose_file_, this, dialog, folder);
}

void MainWindow::RunSettingsDialog(core::SettingsSession &session) {
    SettingsWindow window(session, choose_file_, this);
    window.exec();
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
    const auto state = model_.Control().State();
    if (state == core::DownloadState::kDownloading || state == core::DownloadState::kStopping) {
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

void MainWindow::Repaint() {
    // The repaint that follows a byte count during a download: the counter has been repainted.
    if (std::exchange(counter_repainted_, false)) {
        return;
    }
    repaint();
}

bool MainWindow::DispatchEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return std::exchange(quit_pending_, false);
}

void MainWindow::reject() {
    if (model_.OnCloseRequest()) {
        QDialog::reject();
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (model_.Control().State() == core::DownloadState::kIdle) {
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
