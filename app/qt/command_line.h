// The command line of the window programs (dekvanto, dekvanto-bench). It is read before the
// window system is reached, so that --help and --version answer in a terminal without a display
// (and the package's manual pages can be made from them).
#pragma once

#include <QCommandLineParser>
#include <optional>

namespace dekvanto::qt {

// Parses argv with parser, to which the caller has added its own options and arguments; --help
// and --version are added here. Options it does not know are ignored (Qt's own, such as
// -platform, reach the application object). Returns the exit status when the program must end
// at once: 0 after printing the help text or "<program> <version>" on standard output, 2 after
// printing a usage error (such as a value given to --help) on standard error. Returns nothing when
// the program goes on; parser then holds the options given.
std::optional<int> ReadCommandLine(QCommandLineParser &parser, int argc, char **argv);

}  // namespace dekvanto::qt
