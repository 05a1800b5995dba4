// dekvanto: the DEK VANTO firmware downloader's window. Start-up finds the program directory,
// the settings file and the engine library beside the program; without the library the program
// ends (with its message when the file is missing). The window then runs until it closes, and
// the library is released after it. The command line is not read.
#include <QApplication>

#include "core/app_start.h"
#include "core/posix_port_source.h"
#include "qt/main_window.h"
#include "qt/message_box.h"

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    dekvanto::app::StartUp start = dekvanto::app::StartApplication();
    if (!start.engine) {
        if (!start.end_message.empty()) {
            dekvanto::qt::ShowBox(nullptr, start.end_message);
        }
        return 0;
    }
    dekvanto::app::PosixPortSource ports(dekvanto::app::PosixPortSource::SystemPlaces());
    int status = 0;
    {
        dekvanto::qt::MainWindow window(start.files, *start.engine, ports);
        QObject::connect(&window, &QDialog::finished, &application, &QCoreApplication::quit);
        window.show();
        status = QApplication::exec();
    }
    return status;
}
