// dekvanto-bench: the production bench's window. It runs the `vanto` beside its own program file;
// the bench set-up file to open may be given as the one argument. --start-check opens the window
// and closes it again at once (the check of an installation).
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "qt/bench_window.h"
#include "qt/command_line.h"

int main(int argc, char **argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The production bench's window: one tile per station, each running a\n"
                       "download into every phone connected to it, over vanto bench."));
    parser.addPositionalArgument(QStringLiteral("setup"),
                                 QStringLiteral("The bench set-up file to open."),
                                 QStringLiteral("[setup]"));
    const QCommandLineOption start_check(
        QStringLiteral("start-check"),
        QStringLiteral("Open the window and close it again at once; ends with 0."));
    parser.addOption(start_check);
    if (const std::optional<int> status = dekvanto::qt::ReadCommandLine(parser, argc, argv)) {
        return *status;
    }

    QApplication application(argc, argv);
    // The application object has taken Qt's own options and their values (-style fusion) out of
    // the arguments; what remains names the set-up file.
    parser.parse(QCoreApplication::arguments());
    if (parser.positionalArguments().size() > 1) {
        std::fputs("dekvanto-bench: give at most one set-up file\n", stderr);
        return 2;
    }
    dekvanto::qt::BenchWindow window(
        {.program =
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vanto"))});
    if (!parser.positionalArguments().isEmpty()) {
        window.OpenSetup(parser.positionalArguments().first());
    }
    window.resize(1100, 800);
    window.show();
    if (parser.isSet(start_check)) {
        QTimer::singleShot(0, &application, &QCoreApplication::quit);
    }
    return QApplication::exec();
}
