// window_screenshots <folder>: pictures of the window for the documentation. Runs one whole
// download of sample files into the simulated phone through the main window, then saves the main
// window as main-window.png and the Settings dialog as settings-dialog.png in <folder>.
// Run it under a display (tools/screenshots.sh uses a virtual X server).
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>

#include "dekvanto/firmware_image.h"
#include "sim/phone_simulator.h"
#include "support/window_fixture.h"

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshots <folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    dekvanto::qt::testing::WindowFixture f;
    if (!f.engine) {
        std::fprintf(stderr, "window_screenshots: the engine library does not load\n");
        return 1;
    }
    dekvanto::image::SampleSetLayout sample;
    sample.code_size = 48 * 1024;
    const auto set = dekvanto::image::WriteSampleSet(f.folder / "firmware", sample);
    f.WriteSettings(
        "[Setting]\nCOM=COM3\nProduct=Odd\n[Debug]\nAcknowledge=1\n"
        "[PathOption]\nAppFilePath=" +
        set.code.string() + "\nPersoFilePath=" + set.perso.string() + "\n");
    f.folder.Write("loader.bin", std::string(2048, 'L'));
    f.Open();
    auto *perso = f.Find<QCheckBox>("Download Binary Personalization File");
    QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));

    ::dekvanto::sim::PhoneConfig phone;
    phone.port = 3;
    phone.expect.bit_rate = 115200;
    ::dekvanto::sim::PhoneSimulator simulator(phone);
    if (!simulator.Start()) {
        std::fprintf(stderr, "window_screenshots: %s\n", simulator.SetupError().c_str());
        return 1;
    }
    f.ports.ports.push_back({"COM3", simulator.SlavePath(), ""});
    f.window->OnFileWatch();  // the product's loader file gets its summary
    QTest::mouseClick(f.Find<QPushButton>("Start download"), Qt::LeftButton);
    simulator.Finish(std::chrono::seconds(120));
    QApplication::processEvents();

    bool saved = f.window->grab().save(out + "/main-window.png");
    f.answerer->Then([&](QDialog *dialog) {
        saved = dialog->grab().save(out + "/settings-dialog.png") && saved;
        dialog->reject();
    });
    QTest::mouseClick(f.Find<QPushButton>("Properties..."), Qt::LeftButton);
    if (!saved) {
        std::fprintf(stderr, "window_screenshots: cannot save into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
