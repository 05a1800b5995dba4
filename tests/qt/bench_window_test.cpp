// The bench window against a scripted bench: a shell script stands in for `vanto bench`, writes
// a prepared event stream and, like the bench, stops its running unit on Ctrl-C (SIGINT).
#include "qt/bench_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "core/download/download_events.h"
#include "dekvanto/platform/whole_file.h"
#include "qt/bench_tile.h"
#include "support/scripted_bench.h"

class BenchWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void SixteenStationsShowEveryStateAndStopEndsTheRunningUnit();
    void ADyingBenchLeavesTheUnitItCutOffInterruptedAndTheOthersStand();
    void ScannedIdentifiersGoToTheirStationAndClosingAsksFirst();
    void TheSetUpIsReadOnlyUntilUnlockedAndSavedOnlyWhenGood();
    void ARefusedStartShowsWhyAndAStationsOwnLineIsOnItsTile();
    void ATilesStopAndStartGoToTheBenchAsLines();
    void TheKeyboardReachesEveryControlAndLabelsSayWhatTheyShow();
};

using dekvanto::core::DownloadEvent;
using dekvanto::core::EventKind;
using dekvanto::core::TempFolder;
using dekvanto::qt::BenchWindow;
using dekvanto::qt::testing::Bench;
using dekvanto::qt::testing::Event;

namespace {

constexpr int kWait = 20000;

// A bench that writes `events`, then waits; Ctrl-C ends COM2's unit as stopped.
const char *kRunningBench = R"(echo "$@" > "$(dirname "$0")/arguments"
cat "$(dirname "$0")/events"
trap 'echo "{\"event\":\"unit-end\",\"station\":\"COM2\",\"unit\":1,\"result\":\"3\",\"status\":3,\"seconds\":2.0,\"bytes\":9}"; exit 3' INT
while :; do sleep 0.05; done
)";

}  // namespace

void BenchWindowTest::SixteenStationsShowEveryStateAndStopEndsTheRunningUnit() {
    std::string ports;
    for (int n = 1; n <= 16; ++n) {
        ports += (n > 1 ? ",\"COM" : "\"COM") + std::to_string(n) + "\"";
    }
    using enum EventKind;
    std::string events = Event({.kind = kWaiting, .station = "COM1"}) +
                         Event({.kind = kUnitStart, .station = "COM2"}) +
                         Event({.kind = kPhase, .station = "COM2", .text = "Download code.bin"}) +
                         Event({.kind = kProgress, .station = "COM2", .percent = 40});
    events += Event({.kind = kUnitStart, .station = "COM3"}) +
              Event({.kind = kUnitEnd, .station = "COM3", .result = '2', .seconds = 57.1}) +
              Event({.kind = kWaiting,
                     .station = "COM3",
                     .waiting_for = dekvanto::core::WaitingFor::kRemoval});
    events += Event({.kind = kUnitStart, .station = "COM4"}) +
              Event({.kind = kPhase, .station = "COM4", .text = "Download /x/loader.bin"}) +
              Event({.kind = kPhase, .station = "COM4", .text = "Download /x/code.bin"}) +
              Event({.kind = kUnitEnd,
                     .station = "COM4",
                     .result = 'H',
                     .status = 6,
                     .verdict = dekvanto::core::UnitVerdict::kFailed,
                     .reason = "no acknowledgement in the code file"});
    events += R"({"event":"phase","station":"COM5","unit":1,"line":)"
              "\n";
    Bench bench(ports, kRunningBench, events);
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    QCOMPARE(bench.window.findChildren<dekvanto::qt::BenchTile *>().size(), 16);
    auto *grid = bench.window.findChild<QGridLayout *>();
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(grid->columnCount(), 4);
    QVERIFY(!bench.Named(QStringLiteral("Unit identifier"))->isVisibleTo(&bench.window));

    bench.Click(QStringLiteral("Start bench"));
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM4 last result")),
                              QStringLiteral("FAIL"), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM5 error")).left(25),
                              QStringLiteral("An event line was cut off"), kWait);
    QCOMPARE(bench.Label(QStringLiteral("COM1 state")), QStringLiteral("Waiting for a phone"));
    QCOMPARE(bench.Label(QStringLiteral("COM2 state")),
             QStringLiteral("Unit 1: Download code.bin"));
    QCOMPARE(bench.Label(QStringLiteral("COM3 state")), QStringLiteral("Remove the phone"));
    QCOMPARE(bench.Label(QStringLiteral("COM4 last result reason")),
             QStringLiteral("Unit 1: no acknowledgement in the code file"));
    QVERIFY(bench.Named(QStringLiteral("Station COM3"))
                ->accessibleDescription()
                .startsWith(QStringLiteral("COM3: PASS, 57 seconds")));
    QVERIFY(bench.Label(QStringLiteral("Bench counters"))
                .startsWith(QStringLiteral("Bench: Passed 1, failed 1")));
    QVERIFY(!bench.Named(QStringLiteral("Open set-up"))->isEnabled());

    // Every control that takes the focus, and every tile, has a name.
    for (QWidget *widget : bench.window.findChildren<QWidget *>()) {
        if (widget->isVisibleTo(&bench.window) && widget->focusPolicy() != Qt::NoFocus) {
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
        }
    }

    bench.Click(QStringLiteral("Stop bench"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.Label(QStringLiteral("Bench status"))
                                 .endsWith(QStringLiteral("1 PASS, 1 FAIL, 1 STOPPED\nStopped")),
                             kWait);
    QCOMPARE(bench.Label(QStringLiteral("COM2 last result")), QStringLiteral("STOPPED"));
    QCOMPARE(bench.Label(QStringLiteral("COM1 state")), QStringLiteral("Ended"));
    auto *units = static_cast<QTableWidget *>(bench.Named(QStringLiteral("Last units")));
    QCOMPARE(units->rowCount(), 3);
    QCOMPARE(units->item(0, 1)->text(), QStringLiteral("COM2"));  // newest first
    bench.Click(QStringLiteral("Copy units"));
    QVERIFY(QApplication::clipboard()->text().contains(
        QStringLiteral("\tCOM4\t1\t\tFAIL no acknowledgement in the code file\n")));
    const QString arguments =
        QString::fromStdString(*dekvanto::platform::ReadWholeFile(bench.folder / "arguments"));
    QVERIFY2(arguments.startsWith(QStringLiteral("bench --port COM1,COM2,")),
             qPrintable(arguments));
    QVERIFY(arguments.endsWith(QStringLiteral("--events\n")));
}

void BenchWindowTest::ADyingBenchLeavesTheUnitItCutOffInterruptedAndTheOthersStand() {
    const std::string script = R"(cat "$(dirname "$0")/events"; kill -KILL $$)";
    using enum EventKind;
    Bench bench(R"("COM3","COM4")", script,
                Event({.kind = kUnitStart, .station = "COM4", .unit = 7}) +
                    Event({.kind = kUnitEnd, .station = "COM4", .unit = 7, .result = '2'}) +
                    Event({.kind = kUnitStart, .station = "COM3", .unit = 2}) +
                    R"({"event":"progress","station":"COM3","unit":2,"perc)");
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    bench.Click(QStringLiteral("Start bench"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.Label(QStringLiteral("Bench status"))
                                 .endsWith(QStringLiteral("The bench program ended unexpectedly")),
                             kWait);
    // As the record holds it: a start line without an end line.
    QCOMPARE(bench.Label(QStringLiteral("COM3 last result")), QStringLiteral("INTERRUPTED"));
    QCOMPARE(bench.Label(QStringLiteral("COM3 last result reason")),
             QStringLiteral("Unit 2: the bench ended during the unit"));
    QVERIFY(bench.Label(QStringLiteral("COM3 error"))
                .startsWith(QStringLiteral("An event line was cut off")));
    QCOMPARE(bench.Label(QStringLiteral("COM4 last result")), QStringLiteral("PASS"));
    QVERIFY(bench.Named(QStringLiteral("Start bench"))->isEnabled());
}

void BenchWindowTest::ScannedIdentifiersGoToTheirStationAndClosingAsksFirst() {
    // The bench refuses the first identifier (its station is stopped) and flashes the second.
    const std::string script = R"(read port id
printf '{"event":"scan","station":"%s","unit":0,"unit_id":"%s","state":"refused","reason":"%s is stopped"}\n' "$port" "$id" "$port"
read port id
printf '{"event":"unit-start","station":"%s","unit":1,"unit_id":"%s"}\n{"event":"phase","station":"COM4","unit":1,"line":"read %s %s"}\n' "$port" "$id" "$port" "$id"
trap 'exit 3' INT
while :; do sleep 0.05; done
)";
    Bench bench(R"("COM3","COM4")", script, "", R"(,"scan":true)");
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    bench.Click(QStringLiteral("Start bench"));
    auto *identifier = static_cast<QLineEdit *>(bench.Named(QStringLiteral("Unit identifier")));
    QVERIFY(identifier->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(identifier->isEnabled(), kWait);
    static_cast<QComboBox *>(bench.Named(QStringLiteral("Station for the identifier")))
        ->setCurrentIndex(1);
    QTest::keyClicks(identifier, QStringLiteral("SN-8"));
    QTest::keyClick(identifier, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("Bench status")),
                              QStringLiteral("COM4: \"SN-8\" is not taken: COM4 is stopped"),
                              kWait);
    QTest::keyClicks(identifier, QStringLiteral("SN-9"));
    QTest::keyClick(identifier, Qt::Key_Return);
    // The unit carries the identifier its bench gave it, not one the window kept.
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM4 state")),
                              QStringLiteral("Unit 1 SN-9: read COM4 SN-9"), kWait);

    bench.window.close();  // answered "no": the bench goes on
    QVERIFY(bench.window.isVisible());
    QVERIFY(bench.window.Running());
    bench.answer = true;
    bench.window.close();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window.isVisible(), kWait);
    QVERIFY(bench.Label(QStringLiteral("Bench status")).endsWith(QStringLiteral("\nStopped")));
    QCOMPARE(bench.Label(QStringLiteral("COM4 last result reason")),
             QStringLiteral("Unit 1: the bench ended during the unit"));
}

void BenchWindowTest::TheSetUpIsReadOnlyUntilUnlockedAndSavedOnlyWhenGood() {
    Bench bench(R"("COM3")", "", "");
    QVERIFY(
        !bench.window.OpenSetup(QString::fromStdString((bench.folder / "none.bench").string())));
    QVERIFY(!bench.Named(QStringLiteral("Start bench"))->isEnabled());
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    auto *text = static_cast<QPlainTextEdit *>(bench.Named(QStringLiteral("Set-up text")));
    auto *save = static_cast<QPushButton *>(bench.Named(QStringLiteral("Save set-up")));
    QVERIFY(!text->isVisible());
    QVERIFY(!save->isEnabled());

    static_cast<QCheckBox *>(bench.Named(QStringLiteral("Unlock set-up")))->setChecked(true);
    QVERIFY(text->isVisible() && !text->isReadOnly() && save->isEnabled());
    const auto before = dekvanto::platform::ReadWholeFile(bench.setup);
    text->setPlainText(
        text->toPlainText().replace(QStringLiteral("COM3"), QStringLiteral("COM3x")));
    save->click();
    QVERIFY(bench.Label(QStringLiteral("Bench status"))
                .startsWith(QStringLiteral("The set-up is not saved")));
    QCOMPARE(dekvanto::platform::ReadWholeFile(bench.setup), before);

    text->setPlainText(
        text->toPlainText().replace(QStringLiteral("COM3x"), QStringLiteral("COM9")));
    save->click();
    QVERIFY(
        bench.Label(QStringLiteral("Bench set-up")).startsWith(QStringLiteral("Stations: COM9\n")));
    QVERIFY(!text->isVisible());
    QVERIFY(bench.Named(QStringLiteral("Station COM9")) != nullptr);
    // Saved as written: the relative code file stays relative to the set-up file.
    QVERIFY(dekvanto::platform::ReadWholeFile(bench.setup)->find("\"code\": \"code.bin\"") !=
            std::string::npos);
}

void BenchWindowTest::ARefusedStartShowsWhyAndAStationsOwnLineIsOnItsTile() {
    Bench bench(
        R"("COM3","COM4")",
        R"(echo '{"event":"station","station":"COM4","unit":1,"state":"ended","status":4,"error":"port COM4 (/dev/ttyUSB1) is busy"}'
echo "COM4: port COM4 (/dev/ttyUSB1) is busy" >&2
echo "vanto: cannot read code file code.bin: No such file or directory" >&2
exit 5
)",
        "");
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    bench.Click(QStringLiteral("Start bench"));
    QTRY_COMPARE_WITH_TIMEOUT(
        bench.Label(QStringLiteral("Bench status")),
        QStringLiteral("vanto: cannot read code file code.bin: No such file or directory\n"
                       "The bench could not go on (status 5)"),
        kWait);
    QCOMPARE(bench.Label(QStringLiteral("COM4 error")),
             QStringLiteral("port COM4 (/dev/ttyUSB1) is busy"));
    QCOMPARE(bench.Label(QStringLiteral("COM3 error")), QString());
}

void BenchWindowTest::ATilesStopAndStartGoToTheBenchAsLines() {
    // Answers the first two control lines as the bench does, with the station's state.
    const std::string script =
        R"(printf '{"event":"waiting","station":"COM4","unit":3,"for":"phone"}\n'
for i in 1 2; do
  read verb port
  if [ "$verb" = stop ]; then state=stopped; else state=running; fi
  printf '{"event":"station","station":"%s","unit":3,"state":"%s","status":3}\n' "$port" "$state"
  [ "$state" = stopped ] && echo "$port: stopped; \"start $port\" starts it again" >&2
done
trap 'exit 3' INT
while :; do sleep 0.05; done
)";
    Bench bench(R"("COM3","COM4")", script, "");
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    auto *stop = static_cast<QPushButton *>(bench.Named(QStringLiteral("Stop COM4")));
    auto *start = static_cast<QPushButton *>(bench.Named(QStringLiteral("Start COM4")));
    QVERIFY(stop && start && !stop->isEnabled() && !start->isEnabled());
    bench.Click(QStringLiteral("Start bench"));
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM4 state")),
                              QStringLiteral("Waiting for a phone"), kWait);
    QVERIFY(stop->isEnabled() && !start->isEnabled());

    stop->setFocus();
    QTest::keyClick(stop, Qt::Key_Space);  // from the keyboard
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM4 state")), QStringLiteral("Stopped"),
                              kWait);
    QVERIFY(!stop->isEnabled() && start->isEnabled());
    QCOMPARE(bench.Label(QStringLiteral("COM3 state")), QStringLiteral("Starting"));
    bench.Click(QStringLiteral("Start COM4"));
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM4 state")), QStringLiteral("Starting"),
                              kWait);
    QVERIFY(stop->isEnabled() && !start->isEnabled());
    // A stop is no error: nothing of it stays on the tile.
    QCOMPARE(bench.Label(QStringLiteral("COM4 error")), QString());
}

void BenchWindowTest::TheKeyboardReachesEveryControlAndLabelsSayWhatTheyShow() {
    using enum EventKind;
    const std::string events = Event({.kind = kUnitStart, .station = "COM3"}) +
                               Event({.kind = kUnitEnd,
                                      .station = "COM3",
                                      .result = '2',
                                      .seconds = 5,
                                      .verdict = dekvanto::core::UnitVerdict::kPassed}) +
                               Event({.kind = kUnitStart, .station = "COM3", .unit = 2}) +
                               Event({.kind = kUnitEnd,
                                      .station = "COM3",
                                      .unit = 2,
                                      .result = '2',
                                      .seconds = 5,
                                      .verdict = dekvanto::core::UnitVerdict::kPassed});
    Bench bench(R"("COM3","COM4")", kRunningBench, events);
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    bench.Click(QStringLiteral("Start bench"));
    auto *units = static_cast<QTableWidget *>(bench.Named(QStringLiteral("Last units")));
    QTRY_COMPARE_WITH_TIMEOUT(units->rowCount(), 2, kWait);
    // Tab leaves the list, both ways, as Ctrl+Tab does; the arrows move inside it.
    units->setFocus();
    units->setCurrentCell(0, 0);
    QTest::keyClick(units, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), bench.Named(QStringLiteral("Copy units")));
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(QApplication::focusWidget() != units);
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(QApplication::focusWidget() != units);
    // Every label that shows something says it to a screen reader too.
    for (const char *name :
         {"Bench counters", "COM3 counters", "COM3 state", "COM3 elapsed time", "COM3 last result",
          "COM3 last result reason", "COM3 port and device"}) {
        auto *label = static_cast<QLabel *>(bench.Named(QString::fromLatin1(name)));
        QVERIFY2(label && !label->text().isEmpty(), name);
        QCOMPARE(label->accessibleDescription(), label->text());
    }
    // A rate only once a station has had a whole cycle; the yield once a unit counted.
    QVERIFY(bench.Label(QStringLiteral("COM3 counters")).contains(QStringLiteral("yield 100.0 %")));
    QVERIFY(!bench.Label(QStringLiteral("COM4 counters")).contains(QStringLiteral("units/h")));
    bench.Click(QStringLiteral("Stop bench"));
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window.Running(), kWait);
}

QTEST_MAIN(BenchWindowTest)
#include "bench_window_test.moc"
