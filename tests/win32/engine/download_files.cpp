#include "download_files.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace dekvanto::wintest {
namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WorkFolder() {
    const std::string phone_work = Environment("DEKVANTO_PHONE_WORK");
    if (!phone_work.empty()) {
        return WindowsPathOfUnixPath(phone_work) + "\\";
    }
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "dekvanto-engine-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string WriteFile(const std::string &path, uint32_t size, uint32_t seed) {
    std::vector<char> bytes(size);
    uint32_t state = seed;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), size);
    return path;
}

}  // namespace

DownloadFiles WriteDownloadFiles(uint32_t loader, uint32_t code, uint32_t perso) {
    DownloadFiles files;
    files.folder = WorkFolder();
    files.loader = loader != 0 ? WriteFile(files.folder + "loader.bin", loader, 1) : "";
    files.code = code != 0 ? WriteFile(files.folder + "code.bin", code, 2) : "";
    files.perso = perso != 0 ? WriteFile(files.folder + "perso.bin", perso, 3) : "";
    files.total = loader + code + perso;
    return files;
}

int PhoneCom() {
    return std::atoi(Environment("DEKVANTO_PHONE_COM").c_str());
}

std::string WindowsPathOfUnixPath(const std::string &unix_path) {
    std::string path = "Z:" + unix_path;
    for (char &c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

}  // namespace dekvanto::wintest
