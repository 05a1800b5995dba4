// A bench set-up: what an engineer prepares once for a production bench and an operator then
// runs without changing it by accident. It is kept in a file of its own, a JSON object
// (docs/bench-setup.md); the bench window reads it, shows it, writes it back when unlocked and
// edited, and runs `vanto bench` with the arguments it gives.
//
// Paths in the file that are not absolute are taken from the file's own folder, so a set-up and
// its firmware can be moved together.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dekvanto::core {

struct BenchSetup {
    std::vector<std::string> ports{};            // "COM3", ...: one station each, 1 to 16
    std::optional<std::string> settings_file{};  // MX40.ini to take the settings from
    std::optional<std::string> product{};        // a product of the product list (dekvanto.cfg)
    std::optional<std::string> product_list{};   // another product list than the settings' one
    std::optional<std::string> loader{};         // none: the product's loader
    std::optional<std::string> code{};           // none: no code file is sent
    std::optional<std::string> perso{};          // none: no personalization file is sent
    std::optional<std::string> speed{};          // the words of vanto's options: "115200"
    std::optional<std::string> parity{};         // "none", "odd", "even"
    std::optional<std::string> stop_bits{};      // "1", "2"
    std::optional<std::string> bus{};            // "8", "16"
    std::optional<std::string> wait_states{};    // "0" to "3"
    bool blind = false;                          // the line is not acknowledged (needs scan)
    std::optional<int> reboot_delay{};           // seconds
    std::string record{};                        // the record file (JSON Lines), appended to
    std::optional<std::string> operator_name{};  // who runs the bench, into the record
    double poll_seconds = 1.0;                   // between two attempts while no phone is there
    bool scan = false;                           // a unit starts when its identifier is scanned
    std::optional<int> count{};                  // the bench ends after this many units

    bool operator==(const BenchSetup &) const = default;
};

struct BenchSetupReading {
    std::optional<BenchSetup> setup{};
    std::string error{};  // why the text is no set-up, when it is not
};

// Reads a set-up from its text; relative paths are taken from `folder` (none: left as they are).
BenchSetupReading ReadBenchSetup(const std::string &text,
                                 const std::optional<std::filesystem::path> &folder = {});

// Reads a set-up file ("cannot read the bench set-up <path>: ..." when it cannot be read).
BenchSetupReading ReadBenchSetupFile(const std::filesystem::path &path);

// The set-up as the text of its file: a JSON object, one field a line, the fields left out that
// hold nothing.
std::string BenchSetupText(const BenchSetup &setup);

// Writes the set-up file whole, replacing it only once written; false with why when it cannot
// ("cannot write the bench set-up <path>: <reason>", the reason also a refusal of whole_file.h).
bool WriteBenchSetupFile(const std::filesystem::path &path, const BenchSetup &setup,
                         std::string &error);

// The arguments of `vanto bench` for the set-up, its events asked for: "bench", "--port",
// "COM3,COM4", ..., "--events".
std::vector<std::string> BenchArguments(const BenchSetup &setup);

}  // namespace dekvanto::core
