#include "info_commands.h"

#include <cstdio>
#include <fstream>
#include <ostream>

#include "core/engine_library.h"
#include "core/product_table.h"
#include "core/program_folder.h"
#include "core/result_lines.h"
#include "core/string_table.h"
#include "exit_status.h"

namespace dekvanto::cli {
namespace {

namespace fs = std::filesystem;

fs::path EngineLibraryPath(const Context &context) {
    if (!context.engine_library.empty()) {
        return context.engine_library;
    }
    return dekvanto::app::RunningProgramDirectory().value_or(fs::current_path()) /
           MX40_LIBRARY_FILE_NAME;
}

bool BlankOrComment(const std::string &line) {
    for (const char c : line) {
        if (c == '#') {
            return true;
        }
        if (c != ' ' && c != '\t' && c != '\r') {
            return false;
        }
    }
    return true;
}

}  // namespace

int RunCheckMap(const std::string &code, const std::string &perso, Console &console,
                const Context &context) {
    const fs::path path = EngineLibraryPath(context);
    const auto library = dekvanto::app::EngineLibrary::Load(path);
    if (!library) {
        console.err << "vanto: cannot load the engine library " << path.string() << std::endl;
        return kOtherFailure;
    }
    const auto result = library->CheckMapCompat(code.c_str(), perso.c_str());
    if (!result) {
        console.err << "vanto: "
                    << dekvanto::app::AppString(dekvanto::app::StringId::kNoCheckMapCompatFunction)
                    << std::endl;
        return kOtherFailure;
    }
    for (const auto line : dekvanto::app::MapCheckResultLines(*result).lines) {
        console.out << dekvanto::app::AppString(line) << std::endl;
    }
    return StatusOfMapCheck(*result);
}

int RunProducts(const std::string &list_file, Console &console) {
    std::ifstream in(list_file);
    if (!in) {
        console.err << "vanto: cannot read product list " << list_file << std::endl;
        return kFileError;
    }
    std::vector<std::string> skipped;
    std::vector<dekvanto::app::Product> products;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto product = dekvanto::app::ParseProductLine(line)) {
            products.push_back(*product);
        } else if (!BlankOrComment(line)) {
            skipped.push_back("  line " + std::to_string(number) + ": " + line);
        }
    }
    console.out << "Product                          Loader               Bus  Wait  Perso\n";
    for (const auto &p : products) {
        char row[512];
        std::snprintf(row, sizeof row, "%-32s %-20s %-4d %-5d %s", p.name.c_str(),
                      p.loader_file.c_str(), (p.ram_size + 1) * 8, p.wait_states,
                      p.TakesPersonalization() ? "yes" : "no");
        console.out << row << '\n';
    }
    if (!skipped.empty()) {
        console.out << "Skipped lines:\n";
        for (const std::string &text : skipped) {
            console.out << text << '\n';
        }
    }
    console.out << std::flush;
    return kFinished;
}

}  // namespace dekvanto::cli
