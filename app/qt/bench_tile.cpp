#include "qt/bench_tile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/bench/bench_state.h"
#include "qt/control_builders.h"

namespace dekvanto::qt {
namespace {

using dekvanto::core::UnitVerdict;

// A label's text, which a screen reader also reads as its description.
void SetText(QLabel *label, const QString &text) {
    label->setText(text);
    label->setAccessibleDescription(text);
}

QLabel *TileLabel(QWidget *parent, QLayout *layout) {
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);  // identifiers and file names are shown as they are
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

QString CountersText(const dekvanto::core::VerdictCounts &counts, std::optional<double> yield,
                     std::optional<double> units_per_hour) {
    QString text = QStringLiteral("Passed %1, failed %2").arg(counts.passed).arg(counts.failed);
    if (counts.stopped > 0) {
        text += QStringLiteral(", stopped %1").arg(counts.stopped);
    }
    if (counts.interrupted > 0) {
        text += QStringLiteral(", interrupted %1").arg(counts.interrupted);
    }
    if (yield) {
        text += QStringLiteral(", first-pass yield %1 %").arg(*yield * 100, 0, 'f', 1);
    }
    if (units_per_hour) {
        text += QStringLiteral(", %1 units/h").arg(*units_per_hour, 0, 'f', 1);
    }
    return text;
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

void BenchTile::Show(const dekvanto::core::BenchState &bench, std::size_t station,
                     std::chrono::steady_clock::time_point now, bool bench_running) {
    const dekvanto::core::StationTile &tile = bench.Tiles()[station];
    const QString port = Text(tile.port);
    setAccessibleName(QStringLiteral("Station ") + port);
    setAccessibleDescription(Text(dekvanto::core::TileSpoken(tile, bench.Scan(), now)));
    SetText(title_,
            tile.device.empty() ? port : port + QStringLiteral(" \u2014 ") + Text(tile.device));
    title_->setAccessibleName(port + QStringLiteral(" port and device"));

    QString state = Text(dekvanto::core::TileStateWords(tile, bench.Scan()));
    if (tile.state == dekvanto::core::TileState::kFlashing) {
        state =
            QStringLiteral("Unit %1%2: ")
                .arg(tile.unit)
                .arg(tile.unit_id.empty() ? QString() : QStringLiteral(" ") + Text(tile.unit_id)) +
            state;
    }
    if (!tile.waiting_ids.empty()) {
        state += QStringLiteral(" (%1 scanned ahead)").arg(tile.waiting_ids.size());
    }
    SetText(state_, state);
    state_->setAccessibleName(port + QStringLiteral(" state"));
    progress_->setValue(tile.percent);
    progress_->setAccessibleName(port + QStringLiteral(" progress"));
    progress_->setAccessibleDescription(QStringLiteral("%1 percent").arg(tile.percent));
    SetText(elapsed_, QStringLiteral("Elapsed ") + Seconds(dekvanto::core::TileSeconds(tile, now)));
    elapsed_->setAccessibleName(port + QStringLiteral(" elapsed time"));

    if (tile.last) {
        SetText(verdict_, Text(dekvanto::core::VerdictWord(tile.last->verdict)));
        verdict_->setStyleSheet(QStringLiteral("color: ") + VerdictColour(tile.last->verdict));
        // The reason, or for a unit that passed or was stopped its time ("57.1 s").
        const std::string &words = tile.last->words;
        const std::string detail = !tile.last->reason.empty() ? tile.last->reason
                                   : words.find(' ') != std::string::npos
                                       ? words.substr(words.find(' ') + 1)
                                       : std::string();
        SetText(reason_, QStringLiteral("Unit %1: ").arg(tile.last->unit) + Text(detail));
    } else {
        SetText(verdict_, QString());
        SetText(reason_, QString());
    }
    verdict_->setAccessibleName(port + QStringLiteral(" last result"));
    reason_->setAccessibleName(port + QStringLiteral(" last result reason"));
    SetText(counters_,
            CountersText(tile.counts, bench.FirstPassYield(station), bench.UnitsPerHour(station)));
    counters_->setAccessibleName(port + QStringLiteral(" counters"));
    SetText(error_, Text(tile.error));
    error_->setVisible(!tile.error.empty());
    error_->setAccessibleName(port + QStringLiteral(" error"));

    using dekvanto::core::TileState;
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
