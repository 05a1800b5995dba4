// DEKVANTO.EXE: the DEK VANTO firmware downloader for Windows. Start-up finds the program
// directory, the settings file "MX40.ini" and the engine library "DLL_MX40.DLL" beside the
// program; without the library the program ends (with its message when the file is missing). The
// main window then runs modally until it closes, and the library is released after it. The
// command line is not read.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "core/ports/registry_port_source.h"
#include "core/window/app_start.h"
#include "win32/main_dialog.h"
#include "win32/message_box.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The progress bar is a common control: its window class is registered here.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    dekvanto::core::StartUp start = dekvanto::core::StartApplication();
    if (!start.engine) {
        if (!start.end_message.empty()) {
            dekvanto::win32::ShowBox(nullptr, start.end_message);
        }
        return 0;
    }
    dekvanto::core::RegistryPortSource ports;
    {
        dekvanto::win32::MainDialog window(start.files, *start.engine, ports);
        window.Run(instance);
    }
    return 0;
}
