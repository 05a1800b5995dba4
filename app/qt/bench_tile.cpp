#include "qt/bench_tile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/bench_tiles.h"
#include "qt/control_builders.h"

namespace dekvanto::qt {
namespace {

using dekvanto::app::UnitVerdict;

QLabel *TileLabel(QWidget *parent, QLayout *layout) {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

QString Seconds(double seconds) {
    const long whole = std::lround(seconds);
    return whole < 60 ? QStringLiteral("%1 s").arg(whole)
                      : QStringLiteral("%1 min %2 s")
                            .arg(whole / 60)
                            .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString VerdictColour(UnitVerdict verdict) {
    switch (verdict) {
        case UnitVerdict::kPassed:
            return QStringLiteral("#1b7a1b");
        case UnitVerdict::kStopped:
            return QStringLiteral("#8a6d00");
        default:
            return QStringLiteral("#b01010");
    }
}

}  // namespace

QString CountersText(const dekvanto::app::VerdictCounts &counts, double units_per_hour) {
    QString text = QStringLiteral("Passed %1, failed %2").arg(counts.passed).arg(counts.failed);
    if (counts.stopped > 0) {
        text += QStringLiteral(", stopped %1").arg(counts.stopped);
    }
    return text + QStringLiteral(", %1 units/h").arg(units_per_hour, 0, 'f', 1);
}

BenchTile::BenchTile(QWidget *parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);
    // A keyboard user sees which tile has the focus.
    setObjectName(QStringLiteral("tile"));
    setStyleSheet(
        QStringLiteral("QFrame#tile { border: 1px solid palette(mid); }"
                       "QFrame#tile:focus { border: 3px solid palette(highlight); }"));
    auto *layout = new QVBoxLayout(this);
    title_ = TileLabel(this, layout);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    state_ = TileLabel(this, layout);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    layout->addWidget(progress_);
    elapsed_ = TileLabel(this, layout);
    verdict_ = TileLabel(this, layout);
    QFont large = verdict_->font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    large.setBold(true);
    verdict_->setFont(large);
    reason_ = TileLabel(this, layout);
    counters_ = TileLabel(this, layout);
    error_ = TileLabel(this, layout);
    error_->setStyleSheet(QStringLiteral("color: #b01010"));
    auto *buttons = new QHBoxLayout;
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    start_ = new QPushButton(QStringLiteral("Start"), this);
    buttons->addWidget(stop_);
    buttons->addWidget(start_);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (on_stop) {
            on_stop();
        }
    });
    connect(start_, &QPushButton::clicked, this, [this] {
        if (on_start) {
            on_start();
        }
    });
}

void BenchTile::Show(const dekvanto::app::StationTile &tile, double units_per_hour,
                     std::chrono::steady_clock::time_point now, bool bench_running) {
    const QString port = Text(tile.port);
    setAccessibleName(QStringLiteral("Station ") + port);
    setAccessibleDescription(Text(dekvanto::app::TileSpoken(tile, now)));
    title_->setText(tile.device.empty() ? port
                                        : port + QStringLiteral(" \u2014 ") + Text(tile.device));
    title_->setAccessibleName(port + QStringLiteral(" port and device"));

    QString state = Text(dekvanto::app::TileStateWords(tile));
    if (tile.state == dekvanto::app::TileState::kFlashing) {
        state =
            QStringLiteral("Unit %1%2: ")
                .arg(tile.unit)
                .arg(tile.unit_id.empty() ? QString() : QStringLiteral(" ") + Text(tile.unit_id)) +
            state;
    }
    state_->setText(state);
    state_->setAccessibleName(port + QStringLiteral(" state"));
    progress_->setValue(tile.percent);
    progress_->setAccessibleName(port + QStringLiteral(" progress"));
    progress_->setAccessibleDescription(QStringLiteral("%1 percent").arg(tile.percent));
    elapsed_->setText(QStringLiteral("Elapsed ") + Seconds(dekvanto::app::TileSeconds(tile, now)));
    elapsed_->setAccessibleName(port + QStringLiteral(" elapsed time"));

    if (tile.last) {
        const std::string &words = tile.last->words;
        const auto blank = words.find(' ');
        verdict_->setText(Text(dekvanto::app::VerdictWord(tile.last->verdict)));
        verdict_->setStyleSheet(QStringLiteral("color: ") + VerdictColour(tile.last->verdict));
        reason_->setText(QStringLiteral("Unit %1: ").arg(tile.last->unit) +
                         (blank == std::string::npos ? QString() : Text(words.substr(blank + 1))));
    } else {
        verdict_->setText(QString());
        reason_->setText(QString());
    }
    verdict_->setAccessibleName(port + QStringLiteral(" last result"));
    reason_->setAccessibleName(port + QStringLiteral(" last result reason"));
    counters_->setText(CountersText(tile.counts, units_per_hour));
    counters_->setAccessibleName(port + QStringLiteral(" counters"));
    error_->setText(Text(tile.error));
    error_->setVisible(!tile.error.empty());
    error_->setAccessibleName(port + QStringLiteral(" error"));

    using dekvanto::app::TileState;
    const bool stopped = tile.state == TileState::kStopped;
    stop_->setEnabled(bench_running && !stopped && tile.state != TileState::kEnded);
    start_->setEnabled(bench_running && stopped);
    stop_->setAccessibleName(QStringLiteral("Stop ") + port);
    stop_->setAccessibleDescription(
        QStringLiteral("Stops this station; its running unit is recorded as stopped"));
    start_->setAccessibleName(QStringLiteral("Start ") + port);
    start_->setAccessibleDescription(QStringLiteral("Starts this stopped station again"));
}

}  // namespace dekvanto::qt
