// Text from outside (scanned identifiers, phones' log lines, reasons, file names) shown by the
// bench window: never taken as markup by a label, never a formula or a shifted column in what
// "Copy units" puts on the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTest>

#include "support/scripted_bench.h"

class HostileInputTest : public QObject {
    Q_OBJECT
  private slots:
    void BenchWindowShowsOutsideTextAsTextAndCopiesItAsCells();
};

using dekvanto::core::EventKind;
using dekvanto::qt::testing::Bench;
using dekvanto::qt::testing::Event;

void HostileInputTest::BenchWindowShowsOutsideTextAsTextAndCopiesItAsCells() {
    using enum EventKind;
    const std::string formula = R"(=HYPERLINK("http://x","SN1"))";
    const std::string events =
        Event({.kind = kUnitStart, .station = "COM1", .unit_id = "<b>SN-1</b>"}) +
        Event({.kind = kPhase, .station = "COM1", .text = "Download <img src=x>.bin"}) +
        Event({.kind = kUnitStart, .station = "COM2", .unit_id = formula}) +
        Event({.kind = kUnitEnd,
               .station = "COM2",
               .result = 'H',
               .status = 6,
               .unit_id = formula,
               .verdict = dekvanto::core::UnitVerdict::kFailed,
               .reason = "<i>no acknowledgement</i>"}) +
        Event({.kind = kUnitStart, .station = "COM3", .unit_id = "SN\t7\nX"}) +
        Event({.kind = kUnitEnd, .station = "COM3", .result = '2', .unit_id = "SN\t7\nX"});
    Bench bench(R"("COM1","COM2","COM3")", R"(cat "$(dirname "$0")/events"; sleep 30)", events);
    QVERIFY(bench.window.OpenSetup(QString::fromStdString(bench.setup.string())));
    bench.Click(QStringLiteral("Start bench"));
    QTRY_COMPARE_WITH_TIMEOUT(bench.Label(QStringLiteral("COM3 last result")),
                              QStringLiteral("PASS"), 20000);

    // Every label that shows a '<' from outside shows it as it is.
    int marked_up = 0;
    for (QLabel *label : bench.window.findChildren<QLabel *>()) {
        if (label->text().contains(QLatin1Char('<'))) {
            ++marked_up;
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->accessibleName()));
        }
    }
    QVERIFY2(marked_up >= 2, "the identifier with the log line, and the reason, are on labels");

    bench.Click(QStringLiteral("Copy units"));
    const QStringList rows =
        QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2);
    for (const QString &row : rows) {
        QCOMPARE(row.count(QLatin1Char('\t')), 4);  // five columns, whatever the identifier holds
    }
    QVERIFY2(rows.join(QLatin1Char('\n'))
                 .contains(QStringLiteral("\t'=HYPERLINK(\"http://x\",\"SN1\")\t")),
             qPrintable(rows.join(QLatin1Char('\n'))));
    QVERIFY(rows.join(QLatin1Char('\n')).contains(QStringLiteral("\tSN\\x097\\x0AX\t")));
    bench.Click(QStringLiteral("Stop bench"));
}

QTEST_MAIN(HostileInputTest)
#include "hostile_input_test.moc"
