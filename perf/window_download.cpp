// vanto-window-download: the same download through the DEKVANTO window (Qt, offscreen), against
// the wire-timed simulated phone in this process. Prints one JSON object: the wall time from the
// press of "&Start download" to the engine's return, the process's CPU time over that span, and
// whether the phone found the download consistent.
//
//   QT_QPA_PLATFORM=offscreen vanto-window-download --port N --latency-us US
//       --loader FILE --code FILE --perso FILE --speed-index 0..3
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "sim/phone_simulator.h"
#include "support/window_fixture.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    std::map<std::string, std::string> args;
    for (int i = 1; i + 1 < argc; i += 2) {
        args[argv[i]] = argv[i + 1];
    }
    for (const char *needed : {"--port", "--loader", "--code", "--perso"}) {
        if (args.count(needed) == 0) {
            std::fprintf(stderr, "vanto-window-download: %s is missing\n", needed);
            return 2;
        }
    }
    const int port = std::atoi(args["--port"].c_str());
    const std::string speed = args.count("--speed-index") ? args["--speed-index"] : "3";

    dekvanto::qt::testing::WindowFixture fixture;
    fixture.WriteSettings("[Setting]\nCOM=COM" + std::to_string(port) + "\nSpeed=" + speed +
                          "\n[Debug]\nAcknowledge=1\n[PathOption]\nAppFilePath=" + args["--code"] +
                          "\nPersoFilePath=" + args["--perso"] +
                          "\nLoadFilePath=" + args["--loader"] + "\n");
    fixture.Open();
    auto *perso = fixture.Find<QCheckBox>("Download Binary Personalization File");
    QTest::mouseClick(perso, Qt::LeftButton, {}, QPoint(4, perso->height() / 2));
    auto *start = fixture.Find<QPushButton>("Start download");

    dekvanto::sim::PhoneConfig phone;
    phone.port = port;
    phone.idle_timeout_ms = 600000;
    phone.wire.enabled = true;
    phone.wire.latency_us =
        args.count("--latency-us") ? std::atoi(args["--latency-us"].c_str()) : 1000;
    dekvanto::sim::PhoneSimulator simulator(phone);
    if (!simulator.Start()) {
        std::fprintf(stderr, "vanto-window-download: %s\n", simulator.SetupError().c_str());
        return 3;
    }
    const double cpu_before = CpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    QTest::mouseClick(start, Qt::LeftButton);  // returns when the engine has returned
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double cpu = CpuSeconds() - cpu_before;
    const dekvanto::sim::Summary summary = simulator.Finish(std::chrono::seconds(30));
    std::printf("{\"wall_s\": %.3f, \"cpu_s\": %.3f, \"consistent\": %s, \"log_lines\": %d}\n",
                wall, cpu, summary.consistent ? "true" : "false",
                static_cast<int>(fixture.LogLines().size()));
    return summary.consistent ? 0 : 1;
}
