// The main window "DEK VANTO": the only window the user works in. It draws the application
// core's values and forwards the user's actions to it; every rule (what a click changes, what is
// stored, what is logged) lives in the core.
//
// The window is the download view of the download control: the engine runs on this window's
// thread inside the start/stop command and keeps the window alive by dispatching its events
// (DispatchEvents runs the Qt event loop once). While an attempt runs (the control is not idle)
// the window refuses to close ("Stop the Downloader Before to Quit this Application!"), and the
// Enter and Escape keys do nothing, so that neither a stray Enter nor Escape can stop the
// download or close the window under the running engine; button 1 still works with the mouse
// and with the space bar. A quit request that arrives during a download ends the download (the
// engine sees it through its event dispatch) and is carried out once the engine has returned.
//
// "About DEK VANTO..." is in the window's context menu and on F1.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/current_settings.h"
#include "core/download_control.h"
#include "core/download_view.h"
#include "core/engine.h"
#include "core/file_records.h"
#include "core/ini_file.h"
#include "core/port_list.h"
#include "core/product_selection.h"
#include "core/program_folder.h"
#include "core/settings_dialog.h"
#include "qt/settings_window.h"

namespace dekvanto::qt {

// The file-watch timer's period.
inline constexpr int kFileWatchMs = 5000;

class MainWindow final : public QDialog, public app::DownloadView {
    Q_OBJECT
  public:
    // Initialises in the program's order: controls, personalization controls following their
    // switch, icon, progress step, file paths and summaries, products and the stored product,
    // summary and port, the release number in the caption, the file-watch timer.
    MainWindow(const app::ProgramFiles &files, app::Engine &engine, app::PortSource &ports,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // The file dialogs (code, personalization and loader file); QFileDialog by default. Tests
    // answer them with their own chooser.
    void SetFileChooser(SettingsWindow::FileChooser chooser) { choose_file_ = std::move(chooser); }

    const app::DownloadControl &Control() const { return *control_; }
    const QTimer &FileWatchTimer() const { return file_watch_; }
    // A tick of the file-watch timer.
    void OnFileWatch();

    // DownloadView.
    void SetButtonText(std::string_view text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetByteCounterText(std::string_view text) override;
    void AddLogLine(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void EnableControls(bool on) override;
    void StopFileWatch() override;
    void StartFileWatch() override;
    void Repaint() override;
    bool DispatchEvents() override;

  public slots:
    // Escape, the close box, Alt+F4: refused while an attempt runs, else the window closes.
    void reject() override;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildControls();
    void ConnectControls();
    void LoadProducts();
    void ApplyProductChoice(const std::optional<app::ProductChoice> &choice);
    app::MemoryTarget CurrentTarget() const;
    void ShowFileSummary();

    void OnStartStop();
    void OnBrowseCodeFile();
    void OnBrowsePersoFile();
    void OnCodeSwitch();
    void OnPersoSwitch();
    void OnProductSelected(int position);
    void OnProperties();
    void OnAbout();

    app::ProgramFiles files_;
    app::Engine &engine_;
    app::PortSource &ports_;
    app::IniFile store_;
    app::CurrentSettings settings_;
    app::FileRecords records_;
    app::DownloadSwitches switches_;
    app::SettingsDialog settings_rules_;
    std::unique_ptr<app::ProductSelection> products_;
    std::unique_ptr<app::DownloadControl> control_;
    SettingsWindow::FileChooser choose_file_;
    QTimer file_watch_;
    // A quit request taken during a download: carried out after it (requested), and reported
    // once to the engine's event dispatch (pending).
    // The byte counter was just repainted on its own for a byte count message of a download.
    bool counter_repainted_ = false;
    bool quit_requested_ = false;
    bool quit_pending_ = false;

    QCheckBox *code_switch_ = nullptr;
    QLineEdit *code_name_ = nullptr;
    QPushButton *code_browse_ = nullptr;
    QLineEdit *code_size_ = nullptr;
    QLineEdit *code_checksum_ = nullptr;
    QCheckBox *perso_switch_ = nullptr;
    QLineEdit *perso_name_ = nullptr;
    QPushButton *perso_browse_ = nullptr;
    QLineEdit *perso_size_ = nullptr;
    QComboBox *product_ = nullptr;
    QLineEdit *port_ = nullptr;
    QPushButton *properties_ = nullptr;
    QLabel *byte_counter_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QListWidget *log_ = nullptr;
    QPushButton *start_stop_ = nullptr;
};

}  // namespace dekvanto::qt
