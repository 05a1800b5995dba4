// The main window "DEK VANTO": the only window the user works in. It draws the window model
// (core/window/main_window_model.h) and forwards the user's actions to it; every rule (what a click
// changes, enables, stores or logs) lives in the model.
//
// The engine runs on this window's thread inside the start/stop command and keeps the window
// alive by dispatching its events (DispatchEvents runs the Qt event loop once). While an attempt
// runs the Enter and Escape keys do nothing, so that neither a stray Enter nor Escape can stop
// the download or close the window under the running engine; button 1 still works with the mouse
// and with the space bar. A quit request that arrives during a download ends the download (the
// engine sees it through its event dispatch) and is carried out once the engine has returned.
//
// "About DEK VANTO..." is in the window's context menu and on F1.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "core/download/engine.h"
#include "core/ports/port_list.h"
#include "core/settings/program_folder.h"
#include "core/window/main_window_model.h"
#include "core/window/main_window_view.h"
#include "qt/file_chooser.h"

namespace dekvanto::qt {

class MainWindow final : public QDialog, public core::MainWindowView {
    Q_OBJECT
  public:
    // Builds the controls and initialises the model over the program's files.
    MainWindow(const core::ProgramFiles &files, core::Engine &engine, core::PortSource &ports,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // The file dialogs (code, personalization and loader file); QFileDialog by default.
    void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

    const core::DownloadControl &Control() const { return model_.Control(); }
    const QTimer &FileWatchTimer() const { return file_watch_; }
    // A tick of the file-watch timer.
    void OnFileWatch() { model_.OnFileWatch(); }

    // MainWindowView.
    void SetButtonText(std::string_view text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetByteCounterText(std::string_view text) override;
    void AddLogLine(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void StopFileWatch() override { file_watch_.stop(); }
    void StartFileWatch() override { file_watch_.start(); }
    void Repaint() override;
    bool DispatchEvents() override;
    void Enable(core::WindowControl control, bool on) override;
    void SetChecked(core::WindowControl control, bool checked) override;
    void SetText(core::WindowControl control, std::string_view text) override;
    void SetProductEntries(const std::vector<std::string> &entries) override;
    void SelectProduct(int position) override;
    std::string Caption() override;
    void SetCaption(std::string_view caption) override;
    std::string ChooseFile(const core::FileDialog &dialog, const std::string &folder) override;
    void RunSettingsDialog(core::SettingsSession &session) override;

  public slots:
    // Escape, the close box, Alt+F4: refused while an attempt runs, else the window closes.
    void reject() override;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildControls();
    void ConnectControls();
    void AddAboutAction();
    void OnStartStop();
    void OnAbout();
    // Files the widget made for a control identifier, and gives it back as the type it was made.
    template <typename T>
    T *Keep(core::WindowControl control, T *widget) {
        controls_[static_cast<std::size_t>(control)] = widget;
        return widget;
    }
    template <typename T = QWidget>
    T *Get(core::WindowControl control) const {
        return static_cast<T *>(controls_[static_cast<std::size_t>(control)]);
    }

    core::MainWindowModel model_;
    FileChooser choose_file_;
    QTimer file_watch_;
    // The byte counter was just repainted on its own for a byte count message of a download.
    bool counter_repainted_ = false;
    // A quit request taken during a download: carried out after it (requested), and reported
    // once to the engine's event dispatch (pending).
    bool quit_requested_ = false;
    bool quit_pending_ = false;

    std::array<QWidget *, core::kWindowControlCount> controls_{};
    QLabel *byte_counter_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QListWidget *log_ = nullptr;
    QPushButton *start_stop_ = nullptr;
};

}  // namespace dekvanto::qt
