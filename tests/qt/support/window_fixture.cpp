#include "support/window_fixture.h"

#include <QListWidget>
#include <QTest>

#include "support/window_files.h"

namespace dekvanto::qt::testing {

ModalAnswerer::ModalAnswerer(QWidget *main_window) : main_window_(main_window) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Look);
    timer_.start();
}

void ModalAnswerer::Look() {
    QWidget *modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == main_window_ || !modal->isVisible()) {
        return;
    }
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        box_texts << box->text();
        box->button(QMessageBox::Ok)->click();
        return;
    }
    auto *dialog = qobject_cast<QDialog *>(modal);
    if (dialog == nullptr) {
        return;
    }
    if (handlers_.empty()) {
        unanswered << QString::fromLatin1(dialog->metaObject()->className());
        dialog->reject();
        return;
    }
    auto handler = std::move(handlers_.front());
    handlers_.pop_front();
    handler(dialog);
}

WindowFixture::WindowFixture()
    : files(core::FilesOfProgramDirectory(folder.Path(), core::SettingsPlace{true, {}, {}})),
      engine(core::EngineLibrary::Load(DEKVANTO_ENGINE_LIBRARY)) {
    // Any COM<n> link goes into a register of this test only.
    ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
    core::WriteWindowFiles(folder);
}

void WindowFixture::WriteSettings(const std::string &text) {
    folder.Write("MX40.ini", text);
}

MainWindow &WindowFixture::Open() {
    window = std::make_unique<MainWindow>(files, *engine, ports);
    answerer = std::make_unique<ModalAnswerer>(window.get());
    window->show();
    window->activateWindow();
    // Shortcuts such as F1 reach only the active window.
    if (!QTest::qWaitForWindowActive(window.get())) {
        qWarning("the main window did not become active");
    }
    return *window;
}

std::string WindowFixture::Stored(const char *section, const char *key) const {
    core::IniFile ini(files.settings_file);
    return ini.ReadText(section, key, "<none>");
}

QStringList WindowFixture::LogLines() const {
    QStringList lines;
    auto *log = Find<QListWidget>(QStringLiteral("Log"));
    for (int row = 0; row < log->count(); ++row) {
        lines << log->item(row)->text();
    }
    return lines;
}

}  // namespace dekvanto::qt::testing
