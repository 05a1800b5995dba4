#include "qt/bench_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "core/bench/bench_control.h"
#include "dekvanto/platform/bench_child.h"
#include "dekvanto/platform/whole_file.h"
#include "qt/bench_tile.h"
#include "qt/control_builders.h"

namespace dekvanto::qt {
namespace {

using Clock = dekvanto::core::BenchState::Clock;

constexpr int kClockMilliseconds = 250;
constexpr std::size_t kStatusLines = 6;

template <typename Widget>
Widget *Named(Widget *widget, const QString &name, const QString &description = {}) {
    widget->setAccessibleName(name);
    if (!description.isEmpty()) {
        widget->setAccessibleDescription(description);
    }
    return widget;
}

// What the operator reads of the set-up, one item after another.
QString SetupSummary(const dekvanto::core::BenchSetup &setup) {
    QStringList lines;
    QStringList ports;
    for (const std::string &port : setup.ports) {
        ports << Text(port);
    }
    lines << QStringLiteral("Stations: ") + ports.join(QStringLiteral(", "));
    auto add = [&lines](const char *what, const std::optional<std::string> &value) {
        if (value) {
            lines << QString::fromLatin1(what) + QStringLiteral(": ") + Text(*value);
        }
    };
    add("Product", setup.product);
    add("Settings", setup.settings_file);
    add("Loader", setup.loader);
    add("Code file", setup.code);
    add("Personalization file", setup.perso);
    add("Speed", setup.speed);
    add("Parity", setup.parity);
    add("Stop bits", setup.stop_bits);
    add("Bus", setup.bus);
    add("Wait states", setup.wait_states);
    lines << QStringLiteral("Mode: ") +
                 (setup.blind ? QStringLiteral("blind") : QStringLiteral("acknowledged"));
    lines << QStringLiteral("Record: ") + Text(setup.record);
    add("Operator", setup.operator_name);
    if (setup.scan) {
        lines << QStringLiteral("Units start when scanned");
    }
    if (setup.count) {
        lines << QStringLiteral("Ends after %1 units").arg(*setup.count);
    }
    return lines.join(QStringLiteral("\n"));
}

// Columns for n tiles: a square as near as can be, 4 x 4 at most.
int ColumnsFor(std::size_t stations) {
    return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(stations)))));
}

}  // namespace

BenchWindow::BenchWindow(BenchProgram program, QWidget *parent)
    : QWidget(parent), program_(std::move(program)) {
    setWindowTitle(QStringLiteral("DEKVANTO bench"));
    confirm_close = [this] {
        return QMessageBox::question(this, windowTitle(),
                                     QStringLiteral("Units are running. Stop the bench and close "
                                                    "the window?")) == QMessageBox::Yes;
    };
    BuildControls();
    clock_ = new QTimer(this);
    clock_->setInterval(kClockMilliseconds);
    connect(clock_, &QTimer::timeout, this, &BenchWindow::Refresh);
    ShowSetup();
}

BenchWindow::~BenchWindow() {
    if (Running()) {
        // The window goes away with the bench still running: it is stopped as by Ctrl-C.
        Stop();
        process_->waitForFinished(10000);
    }
}

void BenchWindow::BuildControls() {
    auto *layout = new QVBoxLayout(this);

    auto *setup_row = new QHBoxLayout;
    setup_summary_ = Named(new QLabel(this), QStringLiteral("Bench set-up"));
    setup_summary_->setTextFormat(Qt::PlainText);  // paths and names are shown as they are
    setup_summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setup_row->addWidget(setup_summary_, 1);
    auto *setup_buttons = new QVBoxLayout;
    open_ = Named(new QPushButton(QStringLiteral("&Open set-up..."), this),
                  QStringLiteral("Open set-up"), QStringLiteral("Choose the bench set-up file"));
    unlock_ = Named(new QCheckBox(QStringLiteral("&Unlock set-up"), this),
                    QStringLiteral("Unlock set-up"),
                    QStringLiteral("Allows the set-up to be edited and saved"));
    save_ =
        Named(new QPushButton(QStringLiteral("&Save set-up"), this), QStringLiteral("Save set-up"));
    save_->setEnabled(false);
    for (QWidget *widget : {static_cast<QWidget *>(open_), static_cast<QWidget *>(unlock_),
                            static_cast<QWidget *>(save_)}) {
        setup_buttons->addWidget(widget);
    }
    setup_buttons->addStretch();
    setup_row->addLayout(setup_buttons);
    layout->addLayout(setup_row);
    setup_text_ = Named(new QPlainTextEdit(this), QStringLiteral("Set-up text"),
                        QStringLiteral("The set-up file as it is saved"));
    setup_text_->setReadOnly(true);
    setup_text_->setVisible(false);
    layout->addWidget(setup_text_);
    connect(open_, &QPushButton::clicked, this, &BenchWindow::ChooseSetup);
    connect(unlock_, &QCheckBox::toggled, this, &BenchWindow::Unlock);
    connect(save_, &QPushButton::clicked, this, &BenchWindow::SaveSetup);

    auto *run_row = new QHBoxLayout;
    start_ =
        Named(new QPushButton(QStringLiteral("S&tart bench"), this), QStringLiteral("Start bench"));
    stop_ =
        Named(new QPushButton(QStringLiteral("Sto&p bench"), this), QStringLiteral("Stop bench"),
              QStringLiteral("Stops every station; running units are recorded as stopped"));
    stop_->setEnabled(false);
    totals_ = Named(new QLabel(this), QStringLiteral("Bench counters"));
    totals_->setTextFormat(Qt::PlainText);
    run_row->addWidget(start_);
    run_row->addWidget(stop_);
    run_row->addWidget(totals_, 1);
    layout->addLayout(run_row);
    connect(start_, &QPushButton::clicked, this, &BenchWindow::Start);
    connect(stop_, &QPushButton::clicked, this, &BenchWindow::Stop);
    status_ = Named(new QLabel(this), QStringLiteral("Bench status"));
    status_->setTextFormat(Qt::PlainText);  // identifiers, reasons and file names as they are
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    scan_row_ = new QWidget(this);
    auto *scan_layout = new QHBoxLayout(scan_row_);
    scan_layout->setContentsMargins(0, 0, 0, 0);
    auto *scan_label = new QLabel(QStringLiteral("Unit &identifier:"), scan_row_);
    scan_station_ = Named(new QComboBox(scan_row_), QStringLiteral("Station for the identifier"));
    scan_id_ = Named(new QLineEdit(scan_row_), QStringLiteral("Unit identifier"),
                     QStringLiteral("Scan or type the unit's identifier and press Enter"));
    scan_label->setBuddy(scan_id_);
    scan_layout->addWidget(scan_label);
    scan_layout->addWidget(scan_station_);
    scan_layout->addWidget(scan_id_, 1);
    layout->addWidget(scan_row_);
    connect(scan_id_, &QLineEdit::returnPressed, this, &BenchWindow::Scanned);

    auto *tiles = new QWidget(this);
    grid_ = new QGridLayout(tiles);
    layout->addWidget(tiles, 3);

    auto *units_row = new QHBoxLayout;
    units_ = Named(new QTableWidget(0, 5, this), QStringLiteral("Last units"),
                   QStringLiteral("Time, station, unit, identifier and result of each unit"));
    units_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Station"),
                                       QStringLiteral("Unit"), QStringLiteral("Identifier"),
                                       QStringLiteral("Result")});
    units_->horizontalHeader()->setStretchLastSection(true);
    units_->verticalHeader()->setVisible(false);
    units_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control, as Ctrl+Tab does; the arrow keys move inside it.
    units_->setTabKeyNavigation(false);
    units_->installEventFilter(this);
    units_->setSelectionBehavior(QAbstractItemView::SelectRows);
    copy_ =
        Named(new QPushButton(QStringLiteral("&Copy units"), this), QStringLiteral("Copy units"),
              QStringLiteral("Copies the list of last units, one a line, tab-separated"));
    units_row->addWidget(units_, 1);
    units_row->addWidget(copy_, 0, Qt::AlignTop);
    layout->addLayout(units_row, 1);
    connect(copy_, &QPushButton::clicked, this, &BenchWindow::CopyUnits);
}

bool BenchWindow::Running() const {
    return process_ != nullptr && process_->state() != QProcess::NotRunning;
}

void BenchWindow::ChooseSetup() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open bench set-up"), setup_path_,
        QStringLiteral("Bench set-up (*.bench *.json);;All files (*)"));
    if (!path.isEmpty()) {
        OpenSetup(path);
    }
}

bool BenchWindow::OpenSetup(const QString &path) {
    if (Running()) {
        return false;
    }
    const dekvanto::core::BenchSetupReading reading =
        dekvanto::core::ReadBenchSetupFile(path.toStdString());
    if (!reading.setup) {
        SetStatus(Text(reading.error));
        return false;
    }
    setup_path_ = path;
    setup_ = reading.setup;
    const auto text = dekvanto::platform::ReadWholeFile(path.toStdString());
    setup_text_->setPlainText(text ? Text(*text) : QString());
    state_.reset();
    SetStatus(QString());
    ShowSetup();
    BuildTiles();
    return true;
}

void BenchWindow::Unlock(bool unlocked) {
    setup_text_->setVisible(unlocked);
    setup_text_->setReadOnly(!unlocked || Running());
    save_->setEnabled(unlocked && !Running() && !setup_path_.isEmpty());
}

void BenchWindow::SaveSetup() {
    // Paths are kept as written (relative ones stay relative to the file).
    const dekvanto::core::BenchSetupReading reading =
        dekvanto::core::ReadBenchSetup(setup_text_->toPlainText().toStdString());
    if (!reading.setup) {
        SetStatus(QStringLiteral("The set-up is not saved: ") + Text(reading.error));
        return;
    }
    std::string error;
    if (!dekvanto::core::WriteBenchSetupFile(setup_path_.toStdString(), *reading.setup, error)) {
        SetStatus(Text(error));
        return;
    }
    unlock_->setChecked(false);
    OpenSetup(setup_path_);
}

void BenchWindow::ShowSetup() {
    setup_summary_->setText(setup_ ? SetupSummary(*setup_)
                                   : QStringLiteral("No bench set-up: open one to start."));
    setup_summary_->setAccessibleDescription(setup_summary_->text());
    start_->setEnabled(setup_.has_value() && !Running());
    stop_->setEnabled(Running());
    open_->setEnabled(!Running());
    unlock_->setEnabled(setup_.has_value() && !Running());
    scan_row_->setVisible(setup_ && setup_->scan);
    scan_station_->clear();
    if (setup_) {
        for (const std::string &port : setup_->ports) {
            scan_station_->addItem(Text(port));
        }
    }
    scan_station_->setVisible(setup_ && setup_->ports.size() > 1);
    scan_id_->setEnabled(Running());
}

void BenchWindow::BuildTiles() {
    const std::size_t stations = setup_ ? setup_->ports.size() : 0;
    // The tiles are kept while the number of stations stays (a new run of the same set-up): a
    // control the operator has just used is not pulled away under the keyboard's focus.
    if (tile_widgets_.size() != stations) {
        for (BenchTile *tile : tile_widgets_) {
            delete tile;
        }
        tile_widgets_.clear();
    }
    if (!setup_) {
        return;
    }
    state_ = std::make_unique<dekvanto::core::BenchState>(setup_->ports, setup_->scan);
    events_ = dekvanto::core::LineSplitter(dekvanto::core::kMaxBenchLineBytes);
    log_ = dekvanto::core::LineSplitter(dekvanto::core::kMaxBenchLineBytes);
    bench_log_.clear();
    const int columns = ColumnsFor(stations);
    for (std::size_t i = 0; i < stations; ++i) {
        state_->SetDevice(
            i, dekvanto::core::DeviceWords(dekvanto::core::DeviceOfStation(setup_->ports[i])));
        if (i == tile_widgets_.size()) {
            tile_widgets_.push_back(new BenchTile(this));
            grid_->addWidget(tile_widgets_[i], static_cast<int>(i) / columns,
                             static_cast<int>(i) % columns);
        }
        const QString port = Text(setup_->ports[i]);
        tile_widgets_[i]->on_stop = [this, port] { SendControl(QStringLiteral("stop "), port); };
        tile_widgets_[i]->on_start = [this, port] { SendControl(QStringLiteral("start "), port); };
    }
    rows_shown_ = -1;
    Refresh();
}

void BenchWindow::Start() {
    if (!setup_ || Running()) {
        return;
    }
    unlock_->setChecked(false);
    BuildTiles();
    delete process_;
    process_ = new QProcess(this);
    // Its own process group, so that Stop reaches the bench and each of its stations as Ctrl-C
    // on a terminal does; and it stops when this window dies.
    process_->setChildProcessModifier([] { dekvanto::platform::PrepareBenchChild(); });
    connect(process_, &QProcess::readyReadStandardOutput, this, &BenchWindow::OnOutput);
    connect(process_, &QProcess::readyReadStandardError, this, &BenchWindow::OnErrorOutput);
    connect(process_, &QProcess::finished, this, &BenchWindow::OnFinished);
    connect(process_, &QProcess::errorOccurred, this, &BenchWindow::OnProcessError);
    QStringList arguments = program_.leading_arguments;
    for (const std::string &argument : dekvanto::core::BenchArguments(*setup_)) {
        arguments << Text(argument);
    }
    SetStatus(QStringLiteral("The bench is running"));
    process_->start(program_.program, arguments);
    dekvanto::platform::AdoptBenchChild(process_->processId());
    clock_->start();
    ShowSetup();
    if (setup_->scan) {
        scan_id_->setFocus();
    }
}

void BenchWindow::Stop() {
    if (Running() && process_->processId() > 0) {
        dekvanto::platform::InterruptBenchChild(process_->processId());
        SetStatus(QStringLiteral("Stopping: running units end as stopped"));
    }
}

void BenchWindow::OnOutput() {
    events_.Take(process_->readAllStandardOutput().toStdString(),
                 [this](const std::string &line, bool cut) {
                     if (cut) {
                         state_->OnBrokenLine(line, "An event line was too long and cut off");
                     } else {
                         OnEventLine(line);
                     }
                 });
    Refresh();
}

void BenchWindow::OnEventLine(const std::string &line) {
    if (line.empty()) {
        return;
    }
    const dekvanto::core::EventLineReading reading = dekvanto::core::ReadEventLine(line);
    if (reading.problem == dekvanto::core::EventLineProblem::kUnknownKind) {
        return;
    }
    if (!reading.event) {
        state_->OnBrokenLine(line, (reading.problem == dekvanto::core::EventLineProblem::kTruncated
                                        ? "An event line was cut off: "
                                        : "An unreadable event line: ") +
                                       reading.reason);
        return;
    }
    state_->Apply(*reading.event, Clock::now(), std::chrono::system_clock::now());
    if (const std::optional<std::string> said = dekvanto::core::OperatorLine(*reading.event);
        said && reading.event->kind != dekvanto::core::EventKind::kUnitEnd) {
        SetStatus(Text(*said));
    }
}

// The bench's own lines (a refused start, its permanent lines, its totals): the window shows the
// ones its events do not tell, when the bench ends.
void BenchWindow::OnErrorOutput() {
    log_.Take(process_->readAllStandardError().toStdString(),
              [this](const std::string &line, bool) {
                  if (!line.empty()) {
                      bench_log_.push_back(line);
                  }
              });
}

void BenchWindow::OnFinished(int exit_code, QProcess::ExitStatus status) {
    OnOutput();
    OnErrorOutput();
    events_.Finish([this](const std::string &line, bool) {
        state_->OnBrokenLine(line, "An event line was cut off: the bench ended inside it");
    });
    const std::optional<int> exit_status =
        status == QProcess::CrashExit ? std::nullopt : std::optional<int>(exit_code);
    state_->OnBenchEnded(exit_status, Clock::now(), std::chrono::system_clock::now());
    clock_->stop();
    // What the bench said of itself when it could not start ("vanto: ..."), and how it ended.
    QStringList said;
    for (const std::string &line : bench_log_) {
        if (line.starts_with("vanto: ") && said.size() < static_cast<int>(kStatusLines)) {
            said << Text(line);
        }
    }
    if (state_->Totals().units > 0) {
        said << QStringLiteral("Totals: ") + Text(dekvanto::core::CountsWords(state_->Totals()));
    }
    said << Text(dekvanto::core::BenchEndWords(exit_status));
    SetStatus(said.join(QLatin1Char('\n')));
    Refresh();
    ShowSetup();
    if (close_when_ended_) {
        close();
    }
}

void BenchWindow::OnProcessError(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
        SetStatus(QStringLiteral("Cannot start ") + program_.program + QStringLiteral(": ") +
                  process_->errorString());
        clock_->stop();
        ShowSetup();
    }
}

void BenchWindow::Scanned() {
    if (!Running() || !state_ || !setup_) {
        return;
    }
    const int chosen = std::max(0, scan_station_->currentIndex());
    const std::optional<std::string> line =
        dekvanto::core::ScanLineFor(scan_id_->text().toStdString(),
                                    setup_->ports[static_cast<std::size_t>(chosen)], setup_->ports);
    if (!line) {
        return;
    }
    // The bench says what became of it (queued, refused) in its events.
    process_->write(QByteArray::fromStdString(*line + '\n'));
    scan_id_->clear();
}

// A control line to the bench: "stop COM3" or "start COM3".
void BenchWindow::SendControl(const QString &verb, const QString &port) {
    if (Running()) {
        process_->write((verb + port + QLatin1Char('\n')).toUtf8());
        SetStatus(port + (verb.startsWith(QStringLiteral("stop")) ? QStringLiteral(": stopping")
                                                                  : QStringLiteral(": starting")));
    }
}

void BenchWindow::CopyUnits() {
    if (state_) {
        QApplication::clipboard()->setText(Text(state_->RowsText()));
    }
}

void BenchWindow::Refresh() {
    if (!state_) {
        totals_->clear();
        totals_->setAccessibleDescription(QString());
        return;
    }
    const auto now = Clock::now();
    for (std::size_t i = 0; i < tile_widgets_.size(); ++i) {
        tile_widgets_[i]->Show(*state_, i, now, Running());
    }
    totals_->setText(QStringLiteral("Bench: ") + CountersText(state_->Totals(),
                                                              state_->FirstPassYield(),
                                                              state_->UnitsPerHour()));
    totals_->setAccessibleDescription(totals_->text());
    ShowRows();
}

void BenchWindow::ShowRows() {
    const int units = state_->Totals().units;
    if (units == rows_shown_) {
        return;
    }
    rows_shown_ = units;
    const auto &rows = state_->Rows();
    units_->setRowCount(static_cast<int>(rows.size()));
    // Newest first: the operator looks at the top.
    int at = 0;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row, ++at) {
        const QStringList cells{Text(row->time), Text(row->station),
                                QString::number(row->unit.unit), Text(row->unit.unit_id),
                                Text(row->unit.words)};
        for (int column = 0; column < cells.size(); ++column) {
            units_->setItem(at, column, new QTableWidgetItem(cells[column]));
        }
    }
}

void BenchWindow::SetStatus(const QString &text) {
    status_->setText(text);
    status_->setAccessibleDescription(text);
}

bool BenchWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == units_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            (key->modifiers() & Qt::ControlModifier)) {
            return focusNextPrevChild(key->key() == Qt::Key_Tab &&
                                      !(key->modifiers() & Qt::ShiftModifier));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BenchWindow::closeEvent(QCloseEvent *event) {
    if (!Running()) {
        event->accept();
        return;
    }
    event->ignore();
    if (confirm_close && confirm_close()) {
        close_when_ended_ = true;
        Stop();
    }
}

}  // namespace dekvanto::qt
