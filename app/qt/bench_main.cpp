// dekvanto-bench: the production bench's window. It runs the `vanto` beside its own program file;
// the bench set-up file to open may be given as the one argument.
#include <QApplication>
#include <QDir>

#include "qt/bench_window.h"

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    dekvanto::qt::BenchWindow window(
        {.program =
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vanto"))});
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) {
        window.OpenSetup(arguments[1]);
    }
    window.resize(1100, 800);
    window.show();
    return QApplication::exec();
}
