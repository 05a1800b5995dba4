#include "qt/command_line.h"

#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#ifndef DEKVANTO_VERSION
#define DEKVANTO_VERSION "0.0.0"
#endif

namespace dekvanto::qt {

std::optional<int> ReadCommandLine(QCommandLineParser &parser, int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const QString program = QFileInfo(arguments.value(0)).fileName();
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the program's version and end."));
    parser.addOption(help);
    parser.addOption(version);
    // Options that the program does not know are left alone: they may be Qt's own (-platform,
    // -style), which the application object takes, and the window has always ignored the rest.
    if (!parser.parse(arguments) && parser.unknownOptionNames().isEmpty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.toLocal8Bit().constData(),
                     parser.errorText().toLocal8Bit().constData(),
                     program.toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        // Read before the application exists, the parser does not know the program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), program);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", program.toLocal8Bit().constData(), DEKVANTO_VERSION);
        return 0;
    }
    return std::nullopt;
}

}  // namespace dekvanto::qt
