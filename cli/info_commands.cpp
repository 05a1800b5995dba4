#include "info_commands.h"

#include <cstdio>
#include <ostream>

#include "core/download/engine_library.h"
#include "core/download/result_lines.h"
#include "core/products/product_table.h"
#include "core/settings/setting_values.h"
#include "core/text/outside_text.h"
#include "core/window/string_table.h"
#include "exit_status.h"

namespace dekvanto::cli {
namespace {

// The bus width column: the width that the product's bus index stands for, "?" for an index the
// engine does not take.
std::string BusText(int32_t ram_size) {
    return std::string(dekvanto::core::kBusWidths.WordAt(ram_size).value_or("?"));
}

// The text followed by blanks up to `width` bytes, as printf's "%-Ns" pads.
std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

int RunCheckMap(const std::string &code, const std::string &perso, Console &console,
                const Context &context) {
    const std::filesystem::path path = context.Files().engine_library;
    const auto library = dekvanto::core::EngineLibrary::Load(path);
    if (!library) {
        console.err << "vanto: cannot load the engine library " << path.string() << std::endl;
        return kOtherFailure;
    }
    const auto result = library->CheckMapCompat(code.c_str(), perso.c_str());
    if (!result) {
        console.err << "vanto: "
                    << dekvanto::core::AppString(
                           dekvanto::core::StringId::kNoCheckMapCompatFunction)
                    << std::endl;
        return kOtherFailure;
    }
    for (const auto line : dekvanto::core::MapCheckResultLines(*result).lines) {
        console.out << dekvanto::core::AppString(line) << std::endl;
    }
    return StatusOfMapCheck(*result);
}

int RunProducts(const std::string &list_file, Console &console) {
    const auto list = dekvanto::core::LoadProductListReport(list_file);
    if (!list) {
        console.err << "vanto: cannot read product list " << list_file << std::endl;
        return kFileError;
    }
    console.out << "Product                          Loader               Bus  Wait  Perso\n";
    for (const auto &p : list->products) {
        // The list file is the user's text: its names are shown, never acted on by the terminal.
        const std::string name = dekvanto::core::TerminalText(p.name);
        const std::string loader = dekvanto::core::TerminalText(p.loader_file);
        char rest[64];
        std::snprintf(rest, sizeof rest, " %-4s %-5d %s", BusText(p.ram_size).c_str(),
                      p.wait_states, p.TakesPersonalization() ? "yes" : "no");
        console.out << Padded(name, 32) << ' ' << Padded(loader, 20) << rest << '\n';
    }
    if (!list->skipped.empty()) {
        console.out << "Skipped lines:\n";
        for (const auto &line : list->skipped) {
            console.out << "  line " << line.number << ": "
                        << dekvanto::core::TerminalText(line.text) << '\n';
        }
    }
    console.out << std::flush;
    return kFinished;
}

}  // namespace dekvanto::cli
