// vanto-image: writes synthetic firmware files (code, personalization, loader) and sample sets.
#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <exception>
#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dekvanto/firmware_image.h"

namespace {

using namespace dekvanto::image;

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

uint32_t ParseNumber(std::string_view option, std::string_view text) {
    int base = 10;
    if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw UsageError(std::string(option) + " needs a number from 0 to 4294967295, not '" +
                         std::string(text) + "'");
    }
    return value;
}

Bytes ParseHex(std::string_view option, std::string_view hex) {
    Bytes bytes;
    if (hex.size() % 2 != 0) {
        throw UsageError(std::string(option) + ": odd number of hex digits in '" +
                         std::string(hex) + "'");
    }
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        uint8_t byte = 0;
        const auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        if (error != std::errc() || end != hex.data() + i + 2) {
            throw UsageError(std::string(option) + ": '" + std::string(hex) + "' is not hex");
        }
        bytes.push_back(byte);
    }
    return bytes;
}

Bytes ParseBytes(std::string_view option, std::string_view text) {
    if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        return ParseHex(option, text.substr(2));
    }
    return Bytes(text.begin(), text.end());
}

std::array<uint8_t, 2> ParsePair(std::string_view option, std::string_view text) {
    const Bytes bytes = ParseBytes(option, text);
    if (bytes.size() != 2) {
        throw UsageError(std::string(option) + " needs exactly 2 bytes, not '" + std::string(text) +
                         "'");
    }
    return {bytes[0], bytes[1]};
}

MapEntry ParseEntry(std::string_view option, std::string_view text) {
    const Bytes bytes = ParseHex(option, text.starts_with("0x") ? text.substr(2) : text);
    if (bytes.size() != 3) {
        throw UsageError(std::string(option) + " needs 3 bytes in hex (6 digits), not '" +
                         std::string(text) + "'");
    }
    return {bytes[0], bytes[1], bytes[2]};
}

MapEntry ParseMatch(std::string_view option, std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw UsageError(std::string(option) + " needs ID:CHARS, e.g. B3:12");
    }
    return SearchEntryFor(ParsePair(option, text.substr(0, colon)),
                          ParsePair(option, text.substr(colon + 1)));
}

// Every option takes effect where it stands on the line, as it is read: --entry and --match build
// one table in the order given, and --id and --no-id undo each other.
CLI::Option *AddValue(CLI::App &cmd, const std::string &name, const std::string &type,
                      const std::string &help, std::function<void(const std::string &)> take) {
    return cmd.add_option_function<std::string>(name, std::move(take), help)
        ->type_name(type)
        ->trigger_on_parse();
}

CLI::Option *AddNumber(CLI::App &cmd, const std::string &name, const std::string &help,
                       uint32_t &target) {
    return AddValue(cmd, name, "N", help,
                    [name, &target](const std::string &text) { target = ParseNumber(name, text); });
}

CLI::Option *AddPair(CLI::App &cmd, const std::string &name, const std::string &help,
                     std::array<uint8_t, 2> &target) {
    return AddValue(cmd, name, "BYTES", help,
                    [name, &target](const std::string &text) { target = ParsePair(name, text); });
}

CLI::Option *AddFlag(CLI::App &cmd, const std::string &name, const std::string &help,
                     std::function<void()> take) {
    return cmd.add_flag_callback(name, std::move(take), help)->trigger_on_parse();
}

void AddOutput(CLI::App &cmd, std::optional<std::string> &output, const std::string &type,
               const std::string &help) {
    AddValue(cmd, "-o,--output", type, help, [&output](const std::string &path) { output = path; });
}

std::string RequireOutput(const std::optional<std::string> &output, std::string_view command) {
    if (!output) {
        throw UsageError("'" + std::string(command) + "' needs -o FILE");
    }
    return *output;
}

// What the command line asked for, filled in as the options are read.
struct Request {
    std::optional<std::string> output;  // the file, or the sample set's directory
    MappedCode code;
    PersoImageSpec perso;
    LoaderImageSpec loader;
    SampleSetLayout sample_set;
};

CLI::App *AddCodeCommand(CLI::App &app, Request &r) {
    CLI::App *cmd = app.add_subcommand("code", "a code file with a tag block and a mapping table");
    MappedCode &c = r.code;
    AddOutput(*cmd, r.output, "FILE", "the file to write (required)");
    AddValue(*cmd, "--id", "BYTES", "mapping identifier in record 4 (default B3)",
             [&c](const std::string &text) { c.identifier = ParseBytes("--id", text); });
    AddFlag(*cmd, "--no-id", "no record 4", [&c] { c.identifier.clear(); });
    AddValue(*cmd, "--alt-id", "BYTES", "alternative identifier, reached through record 11",
             [&c](const std::string &text) { c.alt_identifier = ParseBytes("--alt-id", text); });
    AddValue(*cmd, "--entry", "HEX", "a mapping table entry of 3 bytes, e.g. 430102 (repeatable)",
             [&c](const std::string &text) { c.entries.push_back(ParseEntry("--entry", text)); });
    AddValue(*cmd, "--match", "ID:CHARS",
             "the entry a personalization header asks for, e.g. B3:12 (repeatable)",
             [&c](const std::string &text) { c.entries.push_back(ParseMatch("--match", text)); });
    AddFlag(*cmd, "--no-table-end", "leave out the table's end entry 000000",
            [&c] { c.table_end = false; });
    AddNumber(*cmd, "--tag-offset", "offset of the tag block (default 64)", c.tag_block_offset);
    AddNumber(*cmd, "--size", "file length (default: just long enough; shorter cuts the file)",
              c.size);
    AddNumber(*cmd, "--seed", "seed of the fill (default 1)", c.seed);
    return cmd;
}

CLI::App *AddPersoCommand(CLI::App &app, Request &r) {
    CLI::App *cmd = app.add_subcommand("perso", "a personalization file");
    AddOutput(*cmd, r.output, "FILE", "the file to write (required)");
    AddPair(*cmd, "--id", "bytes 0-1 (default B3)", r.perso.identifier);
    AddPair(*cmd, "--chars", "bytes 4-5 (default 12)", r.perso.characters);
    AddNumber(*cmd, "--size", "file length (default 64)", r.perso.size);
    AddNumber(*cmd, "--seed", "seed of the fill (default 1)", r.perso.seed);
    return cmd;
}

CLI::App *AddLoaderCommand(CLI::App &app, Request &r) {
    CLI::App *cmd = app.add_subcommand("loader", "a loader file of fill bytes");
    AddOutput(*cmd, r.output, "FILE", "the file to write (required)");
    AddNumber(*cmd, "--size", "file length (default 2048)", r.loader.size);
    AddNumber(*cmd, "--seed", "seed of the fill (default 1)", r.loader.seed);
    return cmd;
}

CLI::App *AddSampleSetCommand(CLI::App &app, Request &r) {
    CLI::App *cmd = app.add_subcommand(
        "sample-set", "loader.bin, code.bin and perso.psb that agree with each other");
    SampleSetLayout &s = r.sample_set;
    AddValue(*cmd, "DIR", "", "the directory to write them into",
             [&r](const std::string &path) { r.output = path; });
    AddOutput(*cmd, r.output, "DIR", "the directory, as DIR");
    AddPair(*cmd, "--id", "personalization identifier (default B3)", s.identifier);
    AddPair(*cmd, "--chars", "personalization characters (default 12)", s.characters);
    AddNumber(*cmd, "--seed", "seed of the fill (default 1)", s.seed);
    AddNumber(*cmd, "--loader-size", "loader length (default 2048)", s.loader_size);
    AddNumber(*cmd, "--code-size", "code file length (default 65536)", s.code_size);
    AddNumber(*cmd, "--perso-size", "personalization file length (default 1024)", s.perso_size);
    return cmd;
}

void Write(const std::string &path, const Bytes &bytes) {
    WriteImage(path, bytes);
    std::cout << path << ": " << bytes.size() << " bytes\n";
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{
        "vanto-image: writes synthetic firmware files (code, personalization, loader) "
        "and sample sets.",
        "vanto-image"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Print every command with its options and exit");
    app.footer(
        "Numbers are decimal or 0x-prefixed hexadecimal. BYTES are text (B3) or "
        "0x-prefixed hex (0xFFFF).");
    Request request;
    CLI::App *code = AddCodeCommand(app, request);
    CLI::App *perso = AddPersoCommand(app, request);
    CLI::App *loader = AddLoaderCommand(app, request);
    CLI::App *sample_set = AddSampleSetCommand(app, request);
    CLI::App *help = app.add_subcommand("help", "this help")->group("");
    try {
        if (argc < 2) {
            throw UsageError("no command given");
        }
        const std::string command = argv[1];
        const auto subcommands =
            app.get_subcommands([&](const CLI::App *c) { return c->get_name() == command; });
        if (!command.starts_with('-') && subcommands.empty()) {
            throw UsageError("unknown command '" + command + "'");
        }
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError &error) {
            if (error.get_exit_code() == 0) {
                return app.exit(error);  // --help
            }
            throw UsageError(error.what());
        }
        if (code->parsed()) {
            Write(RequireOutput(request.output, "code"),
                  BuildCodeImage(MakeCodeSpec(request.code)));
        } else if (perso->parsed()) {
            Write(RequireOutput(request.output, "perso"), BuildPersoImage(request.perso));
        } else if (loader->parsed()) {
            Write(RequireOutput(request.output, "loader"), BuildLoaderImage(request.loader));
        } else if (sample_set->parsed()) {
            if (!request.output) {
                throw UsageError("'sample-set' needs a directory");
            }
            const SampleSetPaths paths = WriteSampleSet(*request.output, request.sample_set);
            for (const auto &path : {paths.loader, paths.code, paths.perso}) {
                std::cout << path.string() << "\n";
            }
        } else if (help->parsed()) {
            std::cout << app.get_formatter()->make_help(&app, "vanto-image",
                                                        CLI::AppFormatMode::Normal);
        }
        return 0;
    } catch (const UsageError &error) {
        std::cerr << "vanto-image: " << error.what() << "\n"
                  << "Run 'vanto-image --help' for the commands and options.\n";
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "vanto-image: " << error.what() << "\n";
        return 1;
    }
}
