// What the window tests share: a program folder of their own (settings file, product list,
// version file, firmware files), the real engine library, a port list of the test's choosing,
// the controls found by their accessible names, and an answerer for the modal boxes and dialogs
// that the window opens.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/download/engine_library.h"
#include "core/ports/port_list.h"
#include "core/settings/ini_file.h"
#include "core/settings/program_folder.h"
#include "qt/main_window.h"
#include "support/temp_folder.h"

namespace dekvanto::qt::testing {

// Ports offered to the Settings dialog; records the typed names it is asked to register.
class FixedPorts final : public core::PortSource {
  public:
    std::vector<core::PortEntry> ports = {{"COM1", "/dev/ttyS0", ""},
                                          {"COM2", "/dev/ttyUSB0", "USB serial adapter"}};
    std::vector<std::string> registered;

    std::vector<core::PortEntry> ListPorts() override { return ports; }
    void RegisterTypedPort(std::string_view name) override { registered.emplace_back(name); }
};

// Answers every modal window that opens, in whatever event loop runs (the window's own, the
// engine's event dispatch, a box's): a message box is recorded and closed with OK; any other
// modal dialog goes to the next handler queued with Then (and is left open without one, which
// fails the test by its time-out rather than hanging silently: see Unanswered).
class ModalAnswerer final : public QObject {
  public:
    explicit ModalAnswerer(QWidget *main_window);

    // The next modal dialog other than a message box goes to handler.
    void Then(std::function<void(QDialog *)> handler) { handlers_.push_back(std::move(handler)); }

    QStringList box_texts;
    // Dialogs that appeared with no handler queued (their class names).
    QStringList unanswered;

  private:
    void Look();

    QWidget *main_window_;
    QTimer timer_;
    std::deque<std::function<void(QDialog *)>> handlers_;
};

// A program folder with the window's files and a window over it.
class WindowFixture {
  public:
    WindowFixture();

    // Writes the settings file (whole text) before the window is made.
    void WriteSettings(const std::string &text);
    // Makes the window over the folder (reads the settings file, products, version file).
    MainWindow &Open();

    // The control of the main window (or of `parent`) with that accessible name; null if none.
    template <typename T>
    T *Find(const QString &name, QWidget *parent = nullptr) const {
        QWidget *root = parent != nullptr ? parent : window.get();
        for (T *candidate : root->findChildren<T *>()) {
            if (candidate->accessibleName() == name) {
                return candidate;
            }
        }
        return nullptr;
    }

    // The text of "Setting"/key etc. in the settings file now ("<none>" when absent).
    std::string Stored(const char *section, const char *key) const;
    QStringList LogLines() const;

    core::TempFolder folder;
    core::ProgramFiles files;
    std::unique_ptr<core::EngineLibrary> engine;
    FixedPorts ports;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalAnswerer> answerer;
};

}  // namespace dekvanto::qt::testing
