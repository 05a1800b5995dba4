#include "dekvanto_process.h"

#include <atomic>
#include <fstream>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "window_reading.h"

namespace dekvanto::dialog_test {
namespace {

std::filesystem::path DriverFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct Search {
    DWORD process_id;
    HWND owner;
    std::string caption;
    bool caption_prefix;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto &search = *reinterpret_cast<Search *>(context);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id != search.process_id || !IsWindowVisible(window) ||
        ClassName(window) != "#32770" || GetWindow(window, GW_OWNER) != search.owner) {
        return TRUE;
    }
    const std::string caption = WindowText(window);
    const bool matches =
        search.caption_prefix ? caption.rfind(search.caption, 0) == 0 : caption == search.caption;
    if (matches) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD process_id, HWND owner, const std::string &caption, bool prefix) {
    Search search{process_id, owner, caption, prefix, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Two phone models, the first one taking a personalization file.
constexpr const char *kProductList =
    "# name, loader file, bus width, wait states, flags\r\n"
    "\"VANTO 16 bits\"      vanto_loader.bin  16  1  1\r\n"
    "\"VANTO 8 bits lite\"  vanto_loader.bin   8  0  0\r\n";

// The version file: the version text and two further strings, each after its length byte.
std::string VersionFile(const std::string &version_text) {
    std::string file;
    for (const std::string &text : {version_text, std::string("DEK VANTO"), std::string()}) {
        file.push_back(static_cast<char>(text.size()));
        file += text;
    }
    return file;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM context) {
    auto &texts = *reinterpret_cast<std::vector<std::string> *>(context);
    if (ClassName(child) == "Static") {
        const std::string text = WindowText(child);
        if (!text.empty()) {
            texts.push_back(text);
        }
    }
    return TRUE;
}

}  // namespace

std::string WindowsPathOf(const std::string &unix_path) {
    std::string path = "Z:" + unix_path;
    for (char &c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string Environment(const char *name) {
    char value[4096] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

ProgramFolder::ProgramFolder() {
    static std::atomic<int> count{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ =
        std::filesystem::path(temp) / ("dekvanto-dialog-" + std::to_string(GetCurrentProcessId()) +
                                       "-" + std::to_string(++count));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    const auto copy = [this](const std::filesystem::path &from) {
        std::filesystem::copy_file(from, path_ / from.filename(),
                                   std::filesystem::copy_options::overwrite_existing);
    };
    copy(DriverFolder() / "DEKVANTO.EXE");
    copy(DriverFolder() / "DLL_MX40.DLL");
    std::ofstream(path_ / "dekvanto.cfg", std::ios::binary) << kProductList;
    std::ofstream(path_ / "DEKVANTO.VRS", std::ios::binary) << VersionFile("A-000-01-00");
    image::WriteImage(path_ / "vanto_loader.bin", image::BuildLoaderImage({}));
}

ProgramFolder::~ProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ProgramFolder::WriteSettings(const std::string &text) const {
    std::ofstream(SettingsFile(), std::ios::binary | std::ios::trunc) << text;
}

std::string ProgramFolder::Setting(const char *section, const char *key) const {
    char value[512] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value,
                             SettingsFile().string().c_str());
    return value;
}

RunningDekvanto::RunningDekvanto(const ProgramFolder &folder) {
    const std::string program = (folder.Path() / "DEKVANTO.EXE").string();
    std::string command_line = "\"" + program + "\" --ignored-argument";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    char windows_folder[MAX_PATH] = {};
    GetWindowsDirectoryA(windows_folder, MAX_PATH);
    if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        windows_folder, &startup, &process_)) {
        return;
    }
    WaitForInputIdle(process_.hProcess, 60000);
    WaitUntil([this] {
        main_ = FindWindowOf(process_.dwProcessId, nullptr, "DEK VANTO", true);
        return main_ != nullptr;
    });
}

RunningDekvanto::~RunningDekvanto() {
    if (process_.hProcess == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, INFINITE);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND RunningDekvanto::FindOwnedWindow(const std::string &caption) const {
    return FindWindowOf(process_.dwProcessId, main_, caption, false);
}

HWND RunningDekvanto::FindAnyOwnedWindow() const {
    return FindWindowOf(process_.dwProcessId, main_, "", true);
}

HWND RunningDekvanto::WaitForOwnedWindow(const std::string &caption) const {
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindOwnedWindow(caption);
        return found != nullptr;
    });
    return found;
}

bool RunningDekvanto::WaitForExit(DWORD timeout_ms, DWORD *exit_code) const {
    if (process_.hProcess == nullptr ||
        WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) {
        return false;
    }
    if (exit_code != nullptr) {
        GetExitCodeProcess(process_.hProcess, exit_code);
    }
    return true;
}

std::string MessageBoxText(HWND box) {
    std::vector<std::string> texts;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
    std::string joined;
    for (const std::string &text : texts) {
        joined += (joined.empty() ? "" : "\n") + text;
    }
    return joined;
}

}  // namespace dekvanto::dialog_test
