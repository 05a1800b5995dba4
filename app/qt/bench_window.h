// dekvanto-bench: the window of a production bench, for an operator at the rack. It runs one
// `vanto bench --events` for the bench set-up it has opened, and draws the bench's state as its
// events tell it (core/bench/bench_state.h): a tile per station, the bench's counters, yield and
// rate, and the last units. Nothing of a download or of the bench is decided here: scanned
// identifiers, stops and starts go to the bench as lines, and what became of them comes back in
// its events.
//
// The set-up is shown read-only; unlocked, its text can be edited and saved. Start runs the
// bench; Stop does what Ctrl-C does on a terminal (every station stops its running unit, which is
// recorded as stopped). Each tile's Stop and Start do the same for one station, through the
// bench's "stop COM<n>" and "start COM<n>" lines. When the set-up scans, a unit identifier field
// passes each identifier to its station. Closing the window while the bench runs asks first, then
// stops it and closes once it has ended; a window that dies takes its bench with it (the bench
// stops as at Ctrl-C).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/bench/bench_rules.h"
#include "core/bench/bench_setup.h"
#include "core/bench/bench_state.h"
#include "core/text/output_lines.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace dekvanto::qt {

class BenchTile;

// How `vanto` is run: the program and the arguments before the bench's own.
struct BenchProgram {
    QString program;
    QStringList leading_arguments{};
};

class BenchWindow : public QWidget {
  public:
    explicit BenchWindow(BenchProgram program, QWidget *parent = nullptr);
    ~BenchWindow() override;

    // Opens a set-up file and shows it; false (with the reason in the bench's status) when it is
    // no set-up. Not while the bench runs.
    bool OpenSetup(const QString &path);
    bool Running() const;
    const dekvanto::core::BenchState *State() const { return state_.get(); }

    // Asked before the window closes while the bench runs: true to stop it and close.
    std::function<bool()> confirm_close;

  protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildControls();
    void ChooseSetup();
    void Unlock(bool unlocked);
    void SaveSetup();
    void ShowSetup();
    void Start();
    void Stop();
    void BuildTiles();
    void OnOutput();
    void OnErrorOutput();
    void OnFinished(int exit_code, QProcess::ExitStatus status);
    void OnProcessError(QProcess::ProcessError error);
    void OnEventLine(const std::string &line);
    void Scanned();
    void SendControl(const QString &verb, const QString &port);
    void CopyUnits();
    void Refresh();
    void ShowRows();
    void SetStatus(const QString &text);

    BenchProgram program_;
    QString setup_path_;
    std::optional<dekvanto::core::BenchSetup> setup_;
    std::unique_ptr<dekvanto::core::BenchState> state_;
    dekvanto::core::LineSplitter events_{dekvanto::core::kMaxBenchLineBytes};
    dekvanto::core::LineSplitter log_{dekvanto::core::kMaxBenchLineBytes};
    std::vector<std::string> bench_log_;  // the bench's own lines on its standard error
    QProcess *process_ = nullptr;
    bool close_when_ended_ = false;
    int rows_shown_ = -1;

    QLabel *setup_summary_ = nullptr;
    QPushButton *open_ = nullptr;
    QCheckBox *unlock_ = nullptr;
    QPushButton *save_ = nullptr;
    QPlainTextEdit *setup_text_ = nullptr;
    QPushButton *start_ = nullptr;
    QPushButton *stop_ = nullptr;
    QLabel *totals_ = nullptr;
    QLabel *status_ = nullptr;
    QWidget *scan_row_ = nullptr;
    QComboBox *scan_station_ = nullptr;
    QLineEdit *scan_id_ = nullptr;
    QGridLayout *grid_ = nullptr;
    std::vector<BenchTile *> tile_widgets_;
    QTableWidget *units_ = nullptr;
    QPushButton *copy_ = nullptr;
    QTimer *clock_ = nullptr;
};

}  // namespace dekvanto::qt
