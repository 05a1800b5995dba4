// One station of the bench window: its port and device, its state in words, a progress bar, the
// elapsed time, the last unit's PASS or FAIL in large letters with its reason, its counters and
// any error, and its own Stop and Start buttons while the bench runs. Every element has an
// accessible name, and each label's text is its accessible description too, so a screen reader
// reads what the screen shows; the tile itself takes the focus, and its accessible description is
// what a screen reader says of the station ("COM3: PASS, 57 seconds"). The words carry the
// meaning; colour only helps.
#pragma once

#include <QFrame>
#include <chrono>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

#include <optional>

namespace dekvanto::core {
class BenchState;
struct VerdictCounts;
}  // namespace dekvanto::core

namespace dekvanto::qt {

// "Passed 12, failed 1, first-pass yield 92.3 %, 40.0 units/h" (and the stopped units, when there
// are any); the yield once a unit has counted, the rate once a station has had a whole cycle.
QString CountersText(const dekvanto::core::VerdictCounts &counts, std::optional<double> yield,
                     std::optional<double> units_per_hour);

class BenchTile : public QFrame {
    Q_OBJECT

  public:
    explicit BenchTile(QWidget *parent);

    // Draws station `station` of the bench as it is at `now` (the elapsed time of a running unit).
    // bench_running: the station's Stop (while it runs) and Start (once stopped) can be used.
    void Show(const dekvanto::core::BenchState &bench, std::size_t station,
              std::chrono::steady_clock::time_point now, bool bench_running);

    // Called when the operator asks to stop or to start this station.
    std::function<void()> on_stop;
    std::function<void()> on_start;

  private:
    QLabel *title_;
    QLabel *state_;
    QProgressBar *progress_;
    QLabel *elapsed_;
    QLabel *verdict_;
    QLabel *reason_;
    QLabel *counters_;
    QLabel *error_;
    QPushButton *stop_;
    QPushButton *start_;
};

}  // namespace dekvanto::qt
