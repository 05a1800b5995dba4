#include "dekvanto/platform/process_console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dekvanto::platform {

void PrepareProcessConsole() {
    ::signal(SIGPIPE, SIG_IGN);
}

int StandardInputDescriptor() {
    return STDIN_FILENO;
}

bool StandardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

}  // namespace dekvanto::platform
