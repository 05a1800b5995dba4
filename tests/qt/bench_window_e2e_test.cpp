// The bench window running the real vanto bench against two simulated lines where phones come
// and go, one unit failing: the tiles tell each unit as the record file does.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/records/record_reader.h"
#include "download_rig.h"
#include "qt/bench_window.h"
#include "sim/faults.h"

class BenchWindowEndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void TwoStationsWithPhonesThatComeAndGo();
    void StopEndsTheRunningUnitAsStoppedWithItsRecord();
};

namespace {

using dekvanto::core::UnitVerdict;

dekvanto::sim::UnitPlan Phones(uint32_t units) {
    dekvanto::sim::UnitPlan plan;
    plan.enabled = true;
    plan.units = units;
    plan.before_first = {1, 0};
    return plan;
}

// Every label of the window as "name: text" lines.
QString AllLabels(const QWidget &window) {
    QString all;
    for (QLabel *label : window.findChildren<QLabel *>()) {
        all += label->accessibleName() + QStringLiteral(": ") + label->text() + QLatin1Char('\n');
    }
    return all;
}

QString Label(const QWidget &window, const QString &name) {
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (label->accessibleName() == name) {
            return label->text();
        }
    }
    return {};
}

void Click(const QWidget &window, const QString &name) {
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->accessibleName() == name) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
}

// A set-up of the rig's files for these ports, its record in the rig's folder.
std::filesystem::path SetupFile(const dekvanto::testing::DownloadRig &rig,
                                const std::vector<std::string> &ports, const std::string &more) {
    std::string list;
    for (const std::string &port : ports) {
        list += (list.empty() ? "\"" : ",\"") + port + "\"";
    }
    return rig.folder.Write(
        "line.bench", R"({"format":"dekvanto-bench-setup","version":1,"ports":[)" + list +
                          R"(],"loader":")" + rig.files.loader.string() + R"(","code":")" +
                          rig.files.code.string() + R"(","perso":")" + rig.files.perso.string() +
                          R"(","record":")" + (rig.folder / "bench.jsonl").string() +
                          R"(","poll_seconds":0.2)" + more + "}");
}

dekvanto::core::RecordReading Records(const dekvanto::testing::DownloadRig &rig) {
    std::ifstream in(rig.folder / "bench.jsonl");
    return dekvanto::core::ReadRecordFile(in);
}

}  // namespace

void BenchWindowEndToEndTest::TwoStationsWithPhonesThatComeAndGo() {
    dekvanto::testing::DownloadRig rig({1000, 20000, 1500});
    dekvanto::sim::UnitPlan failing_second = Phones(2);
    std::string error;
    failing_second.unit_faults.emplace_back(2,
                                            *dekvanto::sim::ParseFault("silent@code-size", error));
    dekvanto::sim::PhoneSimulator good(rig.phone, Phones(2));
    dekvanto::sim::PhoneSimulator failing(rig.phone, failing_second);
    QVERIFY2(good.Start(), good.SetupError().c_str());
    QVERIFY2(failing.Start(), failing.SetupError().c_str());
    const std::string good_port = "COM" + std::to_string(good.PortNumber());
    const std::string failing_port = "COM" + std::to_string(failing.PortNumber());
    const auto setup = SetupFile(rig, {good_port, failing_port}, R"(,"count":4)");
    dekvanto::qt::BenchWindow window({.program = QStringLiteral(VANTO_PROGRAM)});
    window.show();
    QVERIFY(window.OpenSetup(QString::fromStdString(setup.string())));
    Click(window, QStringLiteral("Start bench"));
    // Qt waits twice the time again before it reports a failure: 90 s leaves the report (every
    // label, to see which station waited for what) within the test watchdog's 300 s.
    QTRY_VERIFY2_WITH_TIMEOUT(Label(window, QStringLiteral("Bench status"))
                                  .endsWith(QStringLiteral("\nSome units failed")),
                              qPrintable(AllLabels(window)), 90000);

    const auto &tiles = window.State()->Tiles();
    QCOMPARE(tiles[0].counts.passed, 2);
    QCOMPARE(tiles[1].counts.passed, 1);
    QCOMPARE(tiles[1].counts.failed, 1);
    QCOMPARE(Label(window, QString::fromStdString(failing_port + " last result reason")),
             QStringLiteral("Unit 2: no acknowledgement in the loader"));
    // Every phone flashed once.
    for (dekvanto::sim::PhoneSimulator *line : {&good, &failing}) {
        std::vector<dekvanto::sim::UnitReport> units;
        for (int tries = 0; units.size() < 2 && tries < 30; ++tries) {
            for (auto &unit : line->TakeUnits(std::chrono::seconds(1))) {
                units.push_back(std::move(unit));
            }
        }
        QCOMPARE(units.size(), std::size_t{2});
        for (const auto &unit : units) {
            QCOMPARE(unit.flashings, 1u);
        }
    }

    // The record holds the units the tiles showed, each with the same outcome.
    const dekvanto::core::RecordReading reading = Records(rig);
    QCOMPARE(reading.units.size(), std::size_t{4});
    QVERIFY(reading.skipped.empty());
    QCOMPARE(window.State()->Rows().size(), std::size_t{4});
    for (const dekvanto::core::UnitRow &row : window.State()->Rows()) {
        int found = 0;
        for (const dekvanto::core::RecordedUnit &unit : reading.units) {
            if (unit.record.start.station == row.station &&
                unit.record.start.unit == row.unit.unit) {
                ++found;
                QCOMPARE(static_cast<int>(dekvanto::core::VerdictOf(unit.record)),
                         static_cast<int>(row.unit.verdict));
            }
        }
        QCOMPARE(found, 1);
    }
}

void BenchWindowEndToEndTest::StopEndsTheRunningUnitAsStoppedWithItsRecord() {
    // A phone that takes ten seconds before it starts erasing (the engine waits up to twenty for
    // that answer, and looks at a stop once it has come): the unit is still running when Stop
    // comes, however slowly the window sees its progress. Each answer before it comes at once, so
    // no acknowledgement waits on how soon the phone's thread gets to run.
    dekvanto::testing::DownloadRig rig({1000, 200000, 1500});
    dekvanto::sim::UnitPlan slow_erase = Phones(1);
    std::string error;
    const auto delay = dekvanto::sim::ParseFault("delay=10000@erase-start", error);
    QVERIFY2(delay.has_value(), error.c_str());
    slow_erase.unit_faults.emplace_back(1, *delay);
    dekvanto::sim::PhoneSimulator line(rig.phone, slow_erase);
    QVERIFY2(line.Start(), line.SetupError().c_str());
    const std::string port = "COM" + std::to_string(line.PortNumber());
    dekvanto::qt::BenchWindow window({.program = QStringLiteral(VANTO_PROGRAM)});
    window.show();
    QVERIFY(window.OpenSetup(QString::fromStdString(SetupFile(rig, {port}, "").string())));
    Click(window, QStringLiteral("Start bench"));
    // Stop once the unit sends its code file (its log line says so; its percent may still show
    // an earlier figure, progress being passed on at most ten times a second). A unit that ended
    // before (failed) ends the wait too, and is reported at once below.
    const std::string sending_code = "Download " + rig.files.code.string();
    QTRY_VERIFY_WITH_TIMEOUT(window.State()->Tiles()[0].phase == sending_code ||
                                 window.State()->Tiles()[0].counts.units > 0,
                             120000);
    QCOMPARE(window.State()->Tiles()[0].counts.units, 0);
    Click(window, QStringLiteral("Stop bench"));
    QTRY_VERIFY_WITH_TIMEOUT(!window.Running(), 120000);

    QVERIFY2(Label(window, QStringLiteral("Bench status")).endsWith(QStringLiteral("\nStopped")),
             qPrintable(Label(window, QStringLiteral("Bench status"))));
    QCOMPARE(Label(window, QString::fromStdString(port + " last result")),
             QStringLiteral("STOPPED"));
    const dekvanto::core::RecordReading reading = Records(rig);
    QCOMPARE(reading.units.size(), std::size_t{1});
    QCOMPARE(static_cast<int>(dekvanto::core::VerdictOf(reading.units[0].record)),
             static_cast<int>(UnitVerdict::kStopped));
}

QTEST_MAIN(BenchWindowEndToEndTest)
#include "bench_window_e2e_test.moc"
