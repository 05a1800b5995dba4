// settings_script SCRIPT SETTINGS_FILE: runs a script of settings reads and writes through this
// platform's settings store (the private-profile calls on Windows, IniFile elsewhere) and prints
// a transcript: every value read and, where the script asks, the file's bytes. The same script
// run on two platforms must give the same transcript.
//
// One command per line, fields separated by '|'; in a field \r, \n, \t, \| and \\ stand for
// themselves escaped. Empty lines and lines starting with '#' are skipped.
//   read-text|SECTION|KEY|DEFAULT       read-int|SECTION|KEY|DEFAULT
//   write-text|SECTION|KEY|VALUE        write-int|SECTION|KEY|NUMBER
//   file                                (prints the file's bytes, or <missing>)
//   edit|TEXT                           (replaces the file's bytes by hand, as an editor would)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "core/settings/settings_file.h"

namespace {

std::vector<std::string> Fields(const std::string &line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '|') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The bytes in a form that shows every line end and blank.
std::string Shown(const std::string &bytes) {
    std::string shown;
    for (const char c : bytes) {
        switch (c) {
            case '\r':
                shown += "\\r";
                break;
            case '\n':
                shown += "\\n\n    ";
                break;
            case '\t':
                shown += "\\t";
                break;
            case '\\':
                shown += "\\\\";
                break;
            default:
                shown += c;
        }
    }
    return "[" + shown + "]";
}

std::string FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return Shown(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

bool Run(const std::vector<std::string> &f, const std::string &file,
         dekvanto::core::SettingsStore &store) {
    const std::string &command = f[0];
    if (command == "read-text" && f.size() == 4) {
        std::cout << "read-text " << f[1] << " " << f[2] << " -> "
                  << Shown(store.ReadText(f[1], f[2], f[3])) << "\n";
    } else if (command == "read-int" && f.size() == 4) {
        std::cout << "read-int " << f[1] << " " << f[2] << " -> "
                  << store.ReadInt(f[1], f[2], std::atoi(f[3].c_str())) << "\n";
    } else if (command == "write-text" && f.size() == 4) {
        store.WriteText(f[1], f[2], f[3]);
    } else if (command == "write-int" && f.size() == 4) {
        store.WriteInt(f[1], f[2], std::atoi(f[3].c_str()));
    } else if (command == "file" && f.size() == 1) {
        std::cout << "file -> " << FileBytes(file) << "\n";
    } else if (command == "edit" && f.size() == 2) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << f[1];
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: settings_script SCRIPT SETTINGS_FILE\n";
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::cerr << "settings_script: cannot read " << argv[1] << "\n";
        return 2;
    }
    const std::string file = argv[2];
    const auto store = dekvanto::core::OpenSettingsFile(file);
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (!Run(Fields(line), file, *store)) {
            std::cerr << "settings_script: line " << number << ": cannot run " << line << "\n";
            return 2;
        }
    }
    std::cout << std::flush;
    return 0;
}
