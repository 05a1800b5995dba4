// dekvanto: the DEK VANTO firmware downloader's window. Start-up finds the program directory,
// the settings file and the engine library beside the program; without the library the program
// ends (with its message when the file is missing). The window then runs until it closes, and
// the library is released after it.
//
// Command line: --help, --version, and --start-check, which starts as usual, opens the window
// and closes it again at once: the check of an installation. Under --start-check a program that
// cannot start writes its reason on standard error instead of showing a box, and ends with 1.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "core/ports/posix_port_source.h"
#include "core/window/app_start.h"
#include "qt/command_line.h"
#include "qt/main_window.h"
#include "qt/message_box.h"

int main(int argc, char **argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("DEK VANTO firmware downloader: puts new firmware into VANTO phones over\n"
                       "a serial line. The product list dekvanto.cfg, the version file and the\n"
                       "engine library lie beside the program; the settings are kept in MX40.ini,\n"
                       "beside the program when the user may write there, else in\n"
                       "~/.config/dekvanto/."));
    const QCommandLineOption start_check(
        QStringLiteral("start-check"),
        QStringLiteral("Start as usual, open the window and close it again at once. Ends with 0 "
                       "when the window opened, 1 when the program could not start (the reason "
                       "on standard error)."));
    parser.addOption(start_check);
    if (const std::optional<int> status = dekvanto::qt::ReadCommandLine(parser, argc, argv)) {
        return *status;
    }
    const bool checking = parser.isSet(start_check);

    QApplication application(argc, argv);
    dekvanto::core::StartUp start = dekvanto::core::StartApplication();
    if (!start.engine) {
        if (checking) {
            std::fprintf(stderr, "dekvanto: %s\n",
                         start.end_message.empty() ? "the engine library does not load"
                                                   : start.end_message.c_str());
            return 1;
        }
        if (!start.end_message.empty()) {
            dekvanto::qt::ShowBox(nullptr, start.end_message);
        }
        return 0;
    }
    dekvanto::core::PosixPortSource ports(dekvanto::core::PosixPortSource::SystemPlaces());
    int status = 0;
    {
        dekvanto::qt::MainWindow window(start.files, *start.engine, ports);
        QObject::connect(&window, &QDialog::finished, &application, &QCoreApplication::quit);
        window.show();
        if (checking) {
            QTimer::singleShot(0, &application, &QCoreApplication::quit);
        }
        status = QApplication::exec();
    }
    return status;
}
