// bench_screenshot <folder>: a picture of the bench window for the documentation. Runs vanto bench
// through the window on four simulated lines (two where phones take their time on the wire, one
// whose phones fail in the code file, one where no phone comes) and saves the window as
// bench-window.png in <folder> while the bench runs. Run it under a display
// (tools/screenshots.sh uses a virtual X server).
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <functional>
#include <memory>

#include "download_rig.h"
#include "qt/bench_window.h"
#include "sim/faults.h"

namespace {

bool WaitFor(const std::function<bool()> &done, int seconds) {
    QDeadlineTimer deadline(seconds * 1000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_screenshot <folder>\n");
        return 2;
    }
    dekvanto::testing::DownloadRig rig({2048, 96 * 1024, 1500});
    std::vector<std::unique_ptr<dekvanto::sim::PhoneSimulator>> lines;
    std::string ports;
    std::string error;
    for (int line = 0; line < 4; ++line) {
        dekvanto::sim::PhoneConfig phone = rig.phone;
        dekvanto::sim::UnitPlan plan;
        plan.enabled = true;
        plan.units = 0;
        plan.before_first = {static_cast<uint32_t>(line == 3 ? 1000000 : 1 + line), 0};
        phone.wire.enabled = line < 2;
        if (line == 2) {
            const auto fault = dekvanto::sim::ParseFault("silent@code-block:3", error);
            if (!fault) {
                std::fprintf(stderr, "bench_screenshot: %s\n", error.c_str());
                return 1;
            }
            phone.faults.push_back(*fault);
        }
        lines.push_back(std::make_unique<dekvanto::sim::PhoneSimulator>(phone, plan));
        if (!lines.back()->Start()) {
            std::fprintf(stderr, "bench_screenshot: %s\n", lines.back()->SetupError().c_str());
            return 1;
        }
        ports += std::string(ports.empty() ? "\"" : ",\"") + "COM" +
                 std::to_string(lines.back()->PortNumber()) + "\"";
    }
    const auto setup = rig.folder.Write(
        "line1.bench", R"({"format":"dekvanto-bench-setup","version":1,"ports":[)" + ports +
                           R"(],"loader":")" + rig.files.loader.string() + R"(","code":")" +
                           rig.files.code.string() + R"(","perso":")" + rig.files.perso.string() +
                           R"(","record":")" + (rig.folder / "line1.jsonl").string() +
                           R"(","operator":"A. Operator","poll_seconds":0.5})");

    dekvanto::qt::BenchWindow window({.program = QStringLiteral(VANTO_PROGRAM)});
    window.resize(1000, 860);
    window.show();
    if (!window.OpenSetup(QString::fromStdString(setup.string()))) {
        std::fprintf(stderr, "bench_screenshot: the set-up does not open\n");
        return 1;
    }
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->accessibleName() == QStringLiteral("Start bench")) {
            button->click();
        }
    }
    // A moment that shows every kind of tile: a unit running, one passed, one failed, a station
    // waiting.
    const bool shown = WaitFor(
        [&] {
            const auto &tiles = window.State()->Tiles();
            return tiles[0].counts.passed >= 1 && tiles[2].counts.failed >= 2 &&
                   tiles[1].state == dekvanto::core::TileState::kFlashing && tiles[1].percent >= 40;
        },
        120);
    const bool saved =
        shown && window.grab().save(QString::fromLocal8Bit(argv[1]) + "/bench-window.png");
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->accessibleName() == QStringLiteral("Stop bench")) {
            button->click();
        }
    }
    WaitFor([&] { return !window.Running(); }, 60);
    if (!saved) {
        std::fprintf(stderr, "bench_screenshot: no picture taken\n");
        for (const auto &tile : window.State()->Tiles()) {
            std::fprintf(stderr, "  %s: %s, %d %%, %d passed, %d failed %s\n", tile.port.c_str(),
                         dekvanto::core::TileStateWords(tile, false).c_str(), tile.percent,
                         tile.counts.passed, tile.counts.failed, tile.error.c_str());
        }
        return 1;
    }
    return 0;
}
