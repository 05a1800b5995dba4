#include <windows.h>

#include "dekvanto/platform/process_console.h"

namespace dekvanto::platform {
namespace {

HANDLE Output() {
    return ::GetStdHandle(STD_OUTPUT_HANDLE);
}

}  // namespace

void PrepareProcessConsole() {
    DWORD mode = 0;
    if (::GetConsoleMode(Output(), &mode)) {
        ::SetConsoleMode(Output(), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

int StandardInputDescriptor() {
    return 0;
}

bool StandardOutputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(Output(), &mode) != 0;
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO information{};
    if (!::GetConsoleScreenBufferInfo(Output(), &information)) {
        return 0;
    }
    return information.srWindow.Right - information.srWindow.Left + 1;
}

}  // namespace dekvanto::platform
