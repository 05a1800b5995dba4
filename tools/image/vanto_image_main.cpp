// vanto-image: writes synthetic firmware files (code, personalization, loader) and sample sets.
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dekvanto/firmware_image.h"

namespace {

using namespace dekvanto::image;

constexpr std::string_view kUsage = R"(usage: vanto-image <command> [options]

commands:
  code -o FILE        a code file with a tag block and a mapping table
      --id BYTES          mapping identifier in record 4 (default B3)
      --no-id             no record 4
      --alt-id BYTES      alternative identifier, reached through record 11
      --entry HEX         a mapping table entry of 3 bytes, e.g. 430102 (repeatable)
      --match ID:CHARS    the entry a personalization header asks for, e.g. B3:12 (repeatable)
      --no-table-end      leave out the table's end entry 000000
      --tag-offset N      offset of the tag block (default 64)
      --size N            file length (default: just long enough; shorter cuts the file)
      --seed N            seed of the fill (default 1)
  perso -o FILE       a personalization file
      --id BYTES          bytes 0-1 (default B3)
      --chars BYTES       bytes 4-5 (default 12)
      --size N            file length (default 64)
      --seed N
  loader -o FILE      a loader file of fill bytes
      --size N            file length (default 2048)
      --seed N
  sample-set DIR      loader.bin, code.bin and perso.psb that agree with each other
      --id BYTES, --chars BYTES, --seed N, --loader-size N, --code-size N, --perso-size N

Numbers are decimal or 0x-prefixed hexadecimal. BYTES are text (B3) or 0x-prefixed hex (0xFFFF).
)";

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

// Walks the arguments of one command.
class Arguments {
  public:
    Arguments(std::string_view command, std::vector<std::string_view> args)
        : command_(command), args_(std::move(args)) {}

    bool Next() {
        if (at_ >= args_.size()) {
            return false;
        }
        current_ = args_[at_++];
        return true;
    }
    std::string_view Current() const { return current_; }
    bool Is(std::string_view name) const { return current_ == name; }
    bool IsOption() const { return current_.size() > 1 && current_.front() == '-'; }

    std::string_view Value() {
        if (at_ >= args_.size()) {
            throw UsageError(std::string(current_) + " needs a value");
        }
        return args_[at_++];
    }
    uint32_t Number() {
        const std::string_view option = current_;
        return ParseNumber(option, Value());
    }

    [[noreturn]] void Unknown() const {
        throw UsageError((IsOption() ? "unknown option '" : "unexpected argument '") +
                         std::string(current_) + "' for '" + std::string(command_) + "'");
    }

  private:
    std::string_view command_;
    std::vector<std::string_view> args_;
    std::size_t at_ = 0;
    std::string_view current_;
};

std::string RequireOutput(const std::optional<std::string> &output, std::string_view command) {
    if (!output) {
        throw UsageError("'" + std::string(command) + "' needs -o FILE");
    }
    return *output;
}

bool TakeOutput(Arguments &args, std::optional<std::string> &output) {
    if (!args.Is("-o") && !args.Is("--output")) {
        return false;
    }
    output = std::string(args.Value());
    return true;
}

void Report(const std::string &path, const Bytes &bytes) {
    std::cout << path << ": " << bytes.size() << " bytes\n";
}

int RunCode(Arguments args) {
    std::optional<std::string> output;
    MappedCode mapped;
    while (args.Next()) {
        if (TakeOutput(args, output)) {
        } else if (args.Is("--id")) {
            mapped.identifier = ParseBytes("--id", args.Value());
        } else if (args.Is("--no-id")) {
            mapped.identifier.clear();
        } else if (args.Is("--alt-id")) {
            mapped.alt_identifier = ParseBytes("--alt-id", args.Value());
        } else if (args.Is("--entry")) {
            mapped.entries.push_back(ParseEntry("--entry", args.Value()));
        } else if (args.Is("--match")) {
            mapped.entries.push_back(ParseMatch("--match", args.Value()));
        } else if (args.Is("--no-table-end")) {
            mapped.table_end = false;
        } else if (args.Is("--tag-offset")) {
            mapped.tag_block_offset = args.Number();
        } else if (args.Is("--size")) {
            mapped.size = args.Number();
        } else if (args.Is("--seed")) {
            mapped.seed = args.Number();
        } else {
            args.Unknown();
        }
    }
    const std::string path = RequireOutput(output, "code");
    const Bytes bytes = BuildCodeImage(MakeCodeSpec(mapped));
    WriteImage(path, bytes);
    Report(path, bytes);
    return 0;
}

int RunPerso(Arguments args) {
    std::optional<std::string> output;
    PersoImageSpec layout;
    while (args.Next()) {
        if (TakeOutput(args, output)) {
        } else if (args.Is("--id")) {
            layout.identifier = ParsePair("--id", args.Value());
        } else if (args.Is("--chars")) {
            layout.characters = ParsePair("--chars", args.Value());
        } else if (args.Is("--size")) {
            layout.size = args.Number();
        } else if (args.Is("--seed")) {
            layout.seed = args.Number();
        } else {
            args.Unknown();
        }
    }
    const std::string path = RequireOutput(output, "perso");
    const Bytes bytes = BuildPersoImage(layout);
    WriteImage(path, bytes);
    Report(path, bytes);
    return 0;
}

int RunLoader(Arguments args) {
    std::optional<std::string> output;
    LoaderImageSpec layout;
    while (args.Next()) {
        if (TakeOutput(args, output)) {
        } else if (args.Is("--size")) {
            layout.size = args.Number();
        } else if (args.Is("--seed")) {
            layout.seed = args.Number();
        } else {
            args.Unknown();
        }
    }
    const std::string path = RequireOutput(output, "loader");
    const Bytes bytes = BuildLoaderImage(layout);
    WriteImage(path, bytes);
    Report(path, bytes);
    return 0;
}

int RunSampleSet(Arguments args) {
    std::optional<std::string> directory;
    SampleSetLayout layout;
    while (args.Next()) {
        if (TakeOutput(args, directory)) {
        } else if (args.Is("--id")) {
            layout.identifier = ParsePair("--id", args.Value());
        } else if (args.Is("--chars")) {
            layout.characters = ParsePair("--chars", args.Value());
        } else if (args.Is("--seed")) {
            layout.seed = args.Number();
        } else if (args.Is("--loader-size")) {
            layout.loader_size = args.Number();
        } else if (args.Is("--code-size")) {
            layout.code_size = args.Number();
        } else if (args.Is("--perso-size")) {
            layout.perso_size = args.Number();
        } else if (!args.IsOption() && !directory) {
            directory = std::string(args.Current());
        } else {
            args.Unknown();
        }
    }
    if (!directory) {
        throw UsageError("'sample-set' needs a directory");
    }
    const SampleSetPaths paths = WriteSampleSet(*directory, layout);
    for (const auto &path : {paths.loader, paths.code, paths.perso}) {
        std::cout << path.string() << "\n";
    }
    return 0;
}

int Run(const std::vector<std::string_view> &all) {
    if (all.empty()) {
        throw UsageError("no command given");
    }
    const std::string_view command = all.front();
    Arguments args(command, {all.begin() + 1, all.end()});
    if (command == "code") {
        return RunCode(std::move(args));
    }
    if (command == "perso") {
        return RunPerso(std::move(args));
    }
    if (command == "loader") {
        return RunLoader(std::move(args));
    }
    if (command == "sample-set") {
        return RunSampleSet(std::move(args));
    }
    if (command == "help" || command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    throw UsageError("unknown command '" + std::string(command) + "'");
}

}  // namespace

int main(int argc, char **argv) {
    try {
        return Run({argv + 1, argv + argc});
    } catch (const UsageError &error) {
        std::cerr << "vanto-image: " << error.what() << "\n"
                  << "Run 'vanto-image --help' for the commands and options.\n";
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "vanto-image: " << error.what() << "\n";
        return 1;
    }
}
