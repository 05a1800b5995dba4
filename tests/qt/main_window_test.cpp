// The main window, its Settings dialog and About box driven as a user drives them: what the
// controls show and allow, what reaches "MX40.ini", and the message boxes (answered by the test).
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "core/window/string_table.h"
#include "dekvanto/firmware_image.h"
#include "qt/dialog_units.h"
#include "support/window_fixture.h"

using dekvanto::core::StringId;
using dekvanto::qt::testing::WindowFixture;

namespace {

QString Line(StringId id) {
    return QString::fromStdString(std::string(dekvanto::core::AppString(id)));
}

const QStringList kMainWindowNames = {"Download Binary Code File",
                                      "Application file name",
                                      "Browse application file",
                                      "Application file size",
                                      "Application file checksum",
                                      "Download Binary Personalization File",
                                      "Personalization file name",
                                      "Browse personalization file",
                                      "Personalization file size",
                                      "Product",
                                      "Com port",
                                      "Properties...",
                                      "Download :",
                                      "Download progress",
                                      "Log",
                                      "Start download"};

const QStringList kSettingsNames = {"OK",
                                    "Cancel",
                                    "Com port",
                                    "Speed",
                                    "Parity",
                                    "Stop bit",
                                    "Data bit",
                                    "Wait State",
                                    "Bus Size",
                                    "Loader file name",
                                    "Loader file size",
                                    "Browse loader file",
                                    "Acknowledge",
                                    "Pause"};

// Every named control once, every control that takes the focus named, no '&' or ':' in a name.
void CheckAccessibleNames(QWidget *root, const QStringList &expected) {
    QStringList names;
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if (child->parentWidget() != root) {
            continue;  // parts of composite controls (a combo box's edit field, a list's viewport)
        }
        const QString name = child->accessibleName();
        if (child->focusPolicy() != Qt::NoFocus) {
            QVERIFY2(!name.isEmpty(), child->metaObject()->className());
        }
        if (!name.isEmpty()) {
            QVERIFY2((!name.contains('&') && !name.contains(':')) || name == "Download :",
                     qPrintable(name));
            names << name;
        }
    }
    for (const QString &name : expected) {
        QCOMPARE(names.count(name), 1);
    }
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
}

// Picks the entry below the current one in a closed combo box, as the Down key does.
void PickNext(QComboBox *box) {
    QTest::keyClick(box, Qt::Key_Down);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void DialogUnitsFollowTheCharacterCell() {
        const dekvanto::qt::DialogUnits du(6, 13);
        QCOMPARE(du.X(4), 6);
        QCOMPARE(du.Y(8), 13);
        QCOMPARE(du.Rect(5, 255, 300, 69), QRect(8, 414, 450, 112));
        QCOMPARE(du.Size(310, 354), QSize(465, 575));
    }

    void StartsIdleWithTheCodeFileOnAndThePersonalizationFileOff() {
        WindowFixture f;
        QVERIFY(f.engine);
        auto &window = f.Open();
        QCOMPARE(window.windowTitle(), QString("DEK VANTO  1.2"));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(f.Find<QCheckBox>("Download Binary Code File")->isChecked());
        QVERIFY(f.Find<QPushButton>("Browse application file")->isEnabled());
        QVERIFY(f.Find<QLineEdit>("Application file name")->isEnabled());
        QVERIFY(!f.Find<QCheckBox>("Download Binary Personalization File")->isChecked());
        QVERIFY(f.Find<QCheckBox>("Download Binary Personalization File")->isEnabled());
        QVERIFY(!f.Find<QLineEdit>("Personalization file name")->isEnabled());
        QVERIFY(!f.Find<QPushButton>("Browse personalization file")->isEnabled());
        QVERIFY(!f.Find<QLineEdit>("Personalization file size")->isEnabled());
        QCOMPARE(f.Find<QPushButton>("Start download")->text(), QString("&Start download"));
        QVERIFY(f.Find<QPushButton>("Start download")->isDefault());
        QCOMPARE(f.Find<QLineEdit>("Com port")->text(), QString("COM1"));
        QCOMPARE(f.Find<QProgressBar>("Download progress")->value(), 0);
        auto *product = f.Find<QComboBox>("Product");
        QCOMPARE(product->count(), 3);
        QCOMPARE(product->currentText(), QString("None"));
        QVERIFY(window.FileWatchTimer().isActive());
        QCOMPARE(window.FileWatchTimer().interval(), 5000);
        QVERIFY(f.LogLines().isEmpty());
        CheckAccessibleNames(&window, kMainWindowNames);
    }

    void ClicksAndPicksReachTheModel() {
        WindowFixture f;
        f.Open();
        auto *perso = f.Find<QCheckBox>("Download Binary Personalization File");
        QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));
        QVERIFY(f.Find<QPushButton>("Browse personalization file")->isEnabled());

        auto *product = f.Find<QComboBox>("Product");
        PickNext(product);  // "Even phone": no personalization file
        QCOMPARE(product->currentText(), QString("Even phone"));
        QCOMPARE(f.Stored("Setting", "Product"), std::string("Even phone"));
        QVERIFY(!perso->isChecked());
        QVERIFY(!perso->isEnabled());
        QVERIFY(!f.Find<QLineEdit>("Personalization file size")->isEnabled());
    }

    void SettingsOkStoresEveryValueAndTheTypedPort() {
        WindowFixture f;
        f.WriteSettings("[Setting]\nProduct=Odd\n");
        auto &window = f.Open();
        QCOMPARE(f.Find<QComboBox>("Product")->currentText(), QString("Odd phone"));
        f.answerer->Then([&](QDialog *dialog) {
            CheckAccessibleNames(dialog, kSettingsNames);
            auto *port = f.Find<QComboBox>("Com port", dialog);
            QCOMPARE(port->count(), 2);
            QCOMPARE(port->currentText(), QString("COM1"));
            QCOMPARE(port->itemData(1, Qt::ToolTipRole).toString(),
                     QString("/dev/ttyUSB0 (USB serial adapter)"));
            QCOMPARE(f.Find<QComboBox>("Speed", dialog)->currentIndex(), 1);
            QCOMPARE(f.Find<QComboBox>("Bus Size", dialog)->currentIndex(), 0);
            port->setEditText("COM7");
            f.Find<QComboBox>("Speed", dialog)->setCurrentIndex(3);
            f.Find<QComboBox>("Bus Size", dialog)->setCurrentIndex(1);
            f.Find<QCheckBox>("Acknowledge", dialog)->setChecked(true);
            QTest::mouseClick(f.Find<QPushButton>("OK", dialog), Qt::LeftButton);
        });
        QTest::mouseClick(f.Find<QPushButton>("Properties..."), Qt::LeftButton);
        QVERIFY(f.answerer->unanswered.isEmpty());
        QCOMPARE(f.Stored("Setting", "COM"), std::string("COM7"));
        QCOMPARE(f.Stored("Setting", "Speed"), std::string("3"));
        QCOMPARE(f.Stored("Setting", "RamSize"), std::string("1"));
        QCOMPARE(f.Stored("Debug", "Acknowledge"), std::string("1"));
        QCOMPARE(f.ports.registered, std::vector<std::string>{"COM7"});
        QCOMPARE(f.Find<QLineEdit>("Com port")->text(), QString("COM7"));
        // The bus width changed: the product box shows "None", the stored product stays.
        QCOMPARE(f.Find<QComboBox>("Product")->currentText(), QString("None"));
        QCOMPARE(f.Stored("Setting", "Product"), std::string("Odd phone"));
        QVERIFY(window.isVisible());
    }

    void SettingsOkWithTheEmptyPortFieldKeepsAnUnlistedPort() {
        WindowFixture f;
        f.WriteSettings("[Setting]\nCOM=COM3\n");  // an adapter that is not plugged in now
        f.Open();
        f.answerer->Then([&](QDialog *dialog) {
            QCOMPARE(f.Find<QComboBox>("Com port", dialog)->currentText(), QString());
            QTest::mouseClick(f.Find<QPushButton>("OK", dialog), Qt::LeftButton);
        });
        QTest::mouseClick(f.Find<QPushButton>("Properties..."), Qt::LeftButton);
        QVERIFY(f.answerer->unanswered.isEmpty());
        QCOMPARE(f.Stored("Setting", "COM"), std::string("COM3"));
        QCOMPARE(f.Find<QLineEdit>("Com port")->text(), QString("COM3"));
    }

    void SettingsCancelChangesNothing() {
        WindowFixture f;
        f.WriteSettings("[Setting]\nProduct=Odd\nSpeed=2\n");
        f.Open();
        f.answerer->Then([&](QDialog *dialog) {
            f.Find<QComboBox>("Speed", dialog)->setCurrentIndex(0);
            f.Find<QComboBox>("Bus Size", dialog)->setCurrentIndex(1);
            f.Find<QComboBox>("Com port", dialog)->setEditText("COM9");
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTest::mouseClick(f.Find<QPushButton>("Properties..."), Qt::LeftButton);
        QCOMPARE(f.Stored("Setting", "Speed"), std::string("2"));
        QCOMPARE(f.Stored("Setting", "COM"), std::string("<none>"));
        QCOMPARE(f.Find<QComboBox>("Product")->currentText(), QString("Odd phone"));
        QCOMPARE(f.Find<QLineEdit>("Com port")->text(), QString("COM1"));
        QVERIFY(f.ports.registered.empty());
    }

    void SettingsLoaderBrowseIsKeptOnlyByOk() {
        WindowFixture f;
        const auto loader = f.folder.Write("files/other_loader.bin", std::string(300, 'L'));
        f.Open();
        f.window->SetFileChooser(
            [&](QWidget *, const QString &title, const QString &folder, const QString &) {
                [&] {
                    QCOMPARE(title, QString("Select Loader File for Downloading"));
                    QCOMPARE(folder.toStdString(), f.files.ProgramDirectoryText());
                }();
                return QString::fromStdString(loader.string());
            });
        f.answerer->Then([&](QDialog *dialog) {
            QTest::mouseClick(f.Find<QPushButton>("Browse loader file", dialog), Qt::LeftButton);
            QCOMPARE(f.Find<QLineEdit>("Loader file size", dialog)->text(), QString("300 Bytes"));
            QTest::mouseClick(f.Find<QPushButton>("Cancel", dialog), Qt::LeftButton);
        });
        f.answerer->Then([&](QDialog *dialog) {
            QCOMPARE(f.Find<QLineEdit>("Loader file name", dialog)->text(), QString());
            QTest::mouseClick(f.Find<QPushButton>("Browse loader file", dialog), Qt::LeftButton);
            QTest::mouseClick(f.Find<QPushButton>("OK", dialog), Qt::LeftButton);
        });
        f.answerer->Then([&](QDialog *dialog) {
            QCOMPARE(f.Find<QLineEdit>("Loader file name", dialog)->text().toStdString(),
                     loader.string());
            QCOMPARE(f.Find<QLineEdit>("Loader file size", dialog)->text(), QString("300 Bytes"));
            dialog->reject();
        });
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(f.Find<QPushButton>("Properties..."), Qt::LeftButton);
        }
        QVERIFY(f.answerer->unanswered.isEmpty());
    }

    void MissingFileChoicesAreReportedInBoxes() {
        WindowFixture f;
        f.Open();
        auto *start = f.Find<QPushButton>("Start download");
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(f.answerer->box_texts, QStringList{"Please Select Application file, Please!"});

        auto *code = f.Find<QCheckBox>("Download Binary Code File");
        QTest::mouseClick(code, Qt::LeftButton, {}, QPoint(4, code->height() / 2));
        QVERIFY(!f.Find<QPushButton>("Browse application file")->isEnabled());
        QVERIFY(!f.Find<QLineEdit>("Application file checksum")->isEnabled());
        auto *perso = f.Find<QCheckBox>("Download Binary Personalization File");
        QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));
        QTest::keyClick(f.window.get(), Qt::Key_Return);  // Enter presses the default button
        QCOMPARE(f.answerer->box_texts.size(), 2);
        QCOMPARE(f.answerer->box_texts[1], QString("Please Select Loader file, Please!"));
        QVERIFY(f.LogLines().isEmpty());
        QCOMPARE(start->text(), QString("&Start download"));
        QCOMPARE(f.Find<QLabel>("Download : 0 bytes")->text(), QString("Download : 0 bytes"));
        QVERIFY(f.window->FileWatchTimer().isActive());
    }

    void MappingCheckRefusesMismatchedFilesWithItsTwoLines() {
        WindowFixture f;
        const auto set = dekvanto::image::WriteSampleSet(f.folder / "files", {});
        dekvanto::image::PersoImageSpec other;  // a personalization the code file does not map
        other.identifier = {'C', '4'};
        dekvanto::image::WriteImage(set.perso, dekvanto::image::BuildPersoImage(other));
        f.WriteSettings("[PathOption]\nAppFilePath=" + set.code.string() + "\nPersoFilePath=" +
                        set.perso.string() + "\nLoadFilePath=" + set.loader.string() + "\n");
        f.Open();
        auto *perso_switch = f.Find<QCheckBox>("Download Binary Personalization File");
        QTest::mouseClick(perso_switch, Qt::LeftButton, {}, QPoint(4, perso_switch->height() / 2));
        QTest::mouseClick(f.Find<QPushButton>("Start download"), Qt::LeftButton);
        QCOMPARE(f.LogLines(), (QStringList{Line(StringId::kMappingIncompatible),
                                            Line(StringId::kDownloadError)}));
        QVERIFY(f.answerer->box_texts.isEmpty());
        QCOMPARE(f.Find<QPushButton>("Start download")->text(), QString("&Start download"));
        QVERIFY(f.Find<QPushButton>("Properties...")->isEnabled());
    }

    void FileDialogsGetTheirTitleAndFilterInQtsForm() {
        WindowFixture f;
        const auto abc = f.folder.Write("files/abc.bin", "abc");
        f.Open();
        bool watch_stopped = false;
        QStringList asked;
        f.window->SetFileChooser(
            [&](QWidget *, const QString &title, const QString &, const QString &filter) {
                watch_stopped = !f.window->FileWatchTimer().isActive();
                asked << title + " | " + filter;
                return QString::fromStdString(abc.string());
            });
        QTest::mouseClick(f.Find<QPushButton>("Browse application file"), Qt::LeftButton);
        QVERIFY(watch_stopped);
        QVERIFY(f.window->FileWatchTimer().isActive());
        QCOMPARE(f.Find<QLineEdit>("Application file name")->text().toStdString(), abc.string());
        QCOMPARE(f.Find<QLineEdit>("Application file checksum")->text(), QString("FED9"));

        auto *perso = f.Find<QCheckBox>("Download Binary Personalization File");
        QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));
        QTest::mouseClick(f.Find<QPushButton>("Browse personalization file"), Qt::LeftButton);
        QCOMPARE(asked, (QStringList{"Select Application File for Download | binary File (*.bin);;"
                                     "All Files (*)",
                                     "Select Personalization File for Download | binary File "
                                     "(*.psb);;All Files (*)"}));
    }

    void AboutBoxShowsTheVersionTextOnF1() {
        WindowFixture f;
        auto &window = f.Open();
        QString version;
        f.answerer->Then([&](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QString("About DEK VANTO"));
            version = f.Find<QLabel>("Version", dialog)->text();
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(version, QString("A-000-12-07"));
        QCOMPARE(window.actions().size(), 1);
        QCOMPARE(window.actions()[0]->text(), QString("About DEK VANTO..."));
        QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);
    }

    void EscapeClosesTheIdleWindow() {
        WindowFixture f;
        auto &window = f.Open();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.FileWatchTimer().isActive());
        QVERIFY(f.answerer->box_texts.isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
