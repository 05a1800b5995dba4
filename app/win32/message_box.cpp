#include "win32/message_box.h"

#include <string>

namespace dekvanto::win32 {
namespace {

std::string ProgramName() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : 0);
    name = name.substr(name.find_last_of("\\/") + 1);
    name = name.substr(0, name.rfind('.'));
    return name.empty() ? std::string("DEKVANTO") : name;
}

}  // namespace

void ShowBox(HWND owner, std::string_view text) {
    const std::string copy(text);
    MessageBoxA(owner, copy.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace dekvanto::win32
