// Whole downloads through the window: the real engine library runs on the window's thread
// against the simulated phone on a pseudo-terminal, and the test acts on the window while the
// engine runs, from inside the engine's event dispatch, as a user's clicks and keys arrive.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "core/window/string_table.h"
#include "download_rig.h"
#include "support/window_fixture.h"

using dekvanto::core::StringId;
using dekvanto::qt::testing::WindowFixture;

namespace {

constexpr int kPhonePort = 41;

QString Line(StringId id) {
    return QString::fromStdString(std::string(dekvanto::core::AppString(id)));
}

// The log with the two time lines cut down to their fixed beginnings.
QStringList WithoutTimes(QStringList lines) {
    for (QString &line : lines) {
        for (const char *fixed : {"Starting Time : ", "Finish Time : "}) {
            if (line.startsWith(fixed)) {
                line = fixed;
            }
        }
    }
    return lines;
}

// The window over sample files (loader 1000, code 20000, personalization 1500 bytes), both
// files switched on, acknowledged mode, the port of the simulated phone.
struct DownloadFixture : WindowFixture {
    DownloadFixture() {
        WriteSettings("[Setting]\nCOM=COM" + std::to_string(kPhonePort) +
                      "\n[Debug]\nAcknowledge=1\n[PathOption]\nAppFilePath=" + set.code.string() +
                      "\nPersoFilePath=" + set.perso.string() +
                      "\nLoadFilePath=" + set.loader.string() + "\n");
        rig.phone.port = kPhonePort;
        Open();
        perso = Find<QCheckBox>("Download Binary Personalization File");
        QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));
        start = Find<QPushButton>("Start download");
        progress = Find<QProgressBar>("Download progress");
    }

    // Starts the phone and presses "&Start download"; returns once the engine has returned.
    bool RunAttempt() {
        const dekvanto::testing::PhoneRun run =
            rig.RunAttempt([this](::dekvanto::sim::PhoneSimulator &) {
                QTest::mouseClick(start, Qt::LeftButton);
            });
        if (!run.setup_error.empty()) {
            qWarning("%s", run.setup_error.c_str());
        }
        return run.setup_error.empty();
    }

    // Runs `action` once, from the engine's event dispatch, at the first progress step past
    // `percent`.
    void AtProgress(int percent, std::function<void()> action) {
        auto done = std::make_shared<bool>(false);
        QObject::connect(progress, &QProgressBar::valueChanged, window.get(), [=, this](int value) {
            if (value > percent && !*done) {
                *done = true;
                QMetaObject::invokeMethod(window.get(), action, Qt::QueuedConnection);
            }
        });
    }

    QStringList ExpectedSuccess() const {
        const QString port = QString("COM%1").arg(kPhonePort);
        return {Line(StringId::kMappingOk),
                "Starting Time : ",
                "Open " + port,
                "Set Speed (115200)",
                "Download " + QString::fromStdString(set.loader.string()),
                " -> Starting Flash writing",
                "Download " + QString::fromStdString(set.code.string()),
                " -> Start End of Flash erasing",
                " -> End of flash Erased",
                "Download " + QString::fromStdString(set.perso.string()),
                "Close " + port,
                "Finish Time : ",
                Line(StringId::kDownloadCompleted)};
    }

    dekvanto::testing::DownloadRig rig{{1000, 20000, 1500}};
    const dekvanto::image::SampleSetPaths &set = rig.files;
    QCheckBox *perso = nullptr;
    QPushButton *start = nullptr;
    QProgressBar *progress = nullptr;
};

}  // namespace

class DownloadWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void WholeDownloadLogsEveryStepWithTheControlsLockedMeanwhile() {
        DownloadFixture f;
        QStringList seen_during;
        f.AtProgress(10, [&] {
            seen_during << f.start->text();
            seen_during << QString::number(f.window->FileWatchTimer().isActive());
            for (const char *name :
                 {"Browse application file", "Properties...", "Download Binary Code File",
                  "Product", "Download Binary Personalization File"}) {
                seen_during << QString::number(f.Find<QWidget>(name)->isEnabled());
            }
            seen_during << QString::number(
                f.Find<QWidget>("Browse personalization file")->isEnabled());
        });
        QVERIFY(f.RunAttempt());
        // With "None" chosen the personalization box keeps its state; its "&Browse..." works on.
        QCOMPARE(seen_during, (QStringList{"&Stop download", "0", "0", "0", "0", "0", "1", "1"}));
        QCOMPARE(WithoutTimes(f.LogLines()), f.ExpectedSuccess());
        QVERIFY(f.Find<QLabel>("Download : 22500 bytes") != nullptr);
        QCOMPARE(f.progress->value(), 0);
        QCOMPARE(f.start->text(), QString("&Start download"));
        QVERIFY(f.Find<QWidget>("Properties...")->isEnabled());
        QVERIFY(f.Find<QWidget>("Product")->isEnabled());
        QVERIFY(f.window->FileWatchTimer().isActive());
        QVERIFY(f.answerer->box_texts.isEmpty());
    }

    void CloseEscapeAndEnterDuringADownloadLeaveItRunning() {
        DownloadFixture f;
        bool closed = true;
        bool visible_after_keys = false;
        f.AtProgress(10, [&] {
            closed = f.window->close();
            QTest::keyClick(f.window.get(), Qt::Key_Escape);
            QTest::keyClick(f.start, Qt::Key_Return);
            QTest::keyClick(f.window.get(), Qt::Key_Enter);
            visible_after_keys = f.window->isVisible();
        });
        QVERIFY(f.RunAttempt());
        QVERIFY(!closed);
        QVERIFY(visible_after_keys);
        QCOMPARE(f.answerer->box_texts,
                 QStringList{"Stop the Downloader Before to Quit this Application!"});
        QCOMPARE(WithoutTimes(f.LogLines()), f.ExpectedSuccess());
        QVERIFY(f.window->isVisible());
    }

    void StopPressedMidDownloadCancelsIt() {
        DownloadFixture f;
        QString button_after_stop;
        f.AtProgress(20, [&] {
            QTest::mouseClick(f.start, Qt::LeftButton);
            button_after_stop = f.start->text();
        });
        QVERIFY(f.RunAttempt());
        QCOMPARE(button_after_stop, QString("&Start download"));
        const QStringList lines = f.LogLines();
        QCOMPARE(lines.back(),
                 QString("------------------------DOWNLOAD CANCELED-----------------------------"));
        QCOMPARE(lines[lines.size() - 2], QString("Close COM%1").arg(kPhonePort));
        QVERIFY(f.progress->value() > 20);  // a stop leaves the bar where it was
        QVERIFY(f.Find<QWidget>("Properties...")->isEnabled());
        QVERIFY(f.window->FileWatchTimer().isActive());
        // Idle again: the window closes.
        QVERIFY(f.window->close());
    }

    void TwoDownloadsInARowKeepEveryLine() {
        DownloadFixture f;
        QVERIFY(f.RunAttempt());
        QVERIFY(f.RunAttempt());
        const QStringList once = f.ExpectedSuccess();
        QCOMPARE(WithoutTimes(f.LogLines()), once + once);
        auto *log = f.Find<QListWidget>("Log");
        QCOMPARE(log->currentRow(), log->count() - 1);
        QVERIFY(log->currentItem()->isSelected());
    }
};

QTEST_MAIN(DownloadWindowTest)
#include "download_window_test.moc"
