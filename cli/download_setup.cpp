#include "download_setup.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/port_name.h"
#include "core/product_selection.h"
#include "core/settings_file.h"

namespace dekvanto::cli {
namespace {

using dekvanto::app::CurrentSettings;

int SpeedIndex(int bits_per_second) {
    switch (bits_per_second) {
        case 57600:
            return 0;
        case 115200:
            return 1;
        case 230400:
            return 2;
        default:
            return 3;
    }
}

int ParityIndex(const std::string &parity) {
    return parity == "none" ? 0 : parity == "odd" ? 1 : 2;
}

std::filesystem::path ProductListFile(const DownloadOptions &o,
                                      const std::filesystem::path &program_directory) {
    if (o.products_file) {
        return *o.products_file;
    }
    if (o.settings_file) {
        return std::filesystem::absolute(*o.settings_file).parent_path() / "dekvanto.cfg";
    }
    return program_directory / "dekvanto.cfg";
}

std::string Lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Applies --product; a refusal when the product list or the product is not there.
std::optional<SetupError> ApplyProduct(const DownloadOptions &o,
                                       const std::filesystem::path &program_directory,
                                       DownloadSetup &setup, std::string &loader,
                                       bool &perso_allowed) {
    const std::filesystem::path list = ProductListFile(o, program_directory);
    std::error_code error;
    if (!std::filesystem::exists(list, error)) {
        return SetupError{kFileError, "product list " + list.string() + " does not exist"};
    }
    const dekvanto::app::ProductTable table = dekvanto::app::LoadProductList(list);
    int position = 0;
    std::string known;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (position == 0 && Lower(table[i].name) == Lower(*o.product)) {
            position = static_cast<int>(i) + 1;
        }
        known += (known.empty() ? "" : ", ") + ("\"" + table[i].name + "\"");
    }
    if (position == 0) {
        return SetupError{kBadUsage,
                          "unknown product \"" + *o.product + "\" in " + list.string() +
                              (known.empty() ? " (it lists none)" : " (known: " + known + ")")};
    }
    dekvanto::app::ProductSelection selection(table, list.parent_path().string());
    const dekvanto::app::MemoryTarget current{loader, setup.settings.ram_size,
                                              setup.settings.wait_states};
    if (const auto choice = selection.Choose(position, *setup.store, current)) {
        loader = choice->target.loader_path;
        setup.settings.ram_size = choice->target.ram_size;
        setup.settings.wait_states = choice->target.wait_states;
        perso_allowed = choice->personalization_allowed;
    }
    return std::nullopt;
}

void ApplyLineOptions(const DownloadOptions &o, CurrentSettings &s) {
    if (o.speed) {
        s.speed = SpeedIndex(*o.speed);
    }
    if (o.parity) {
        s.parity = ParityIndex(*o.parity);
    }
    if (o.stop_bits) {
        s.stop_bits = *o.stop_bits - 1;
    }
    if (o.bus) {
        s.ram_size = *o.bus / 8 - 1;
    }
    if (o.wait_states) {
        s.wait_states = *o.wait_states;
    }
    if (o.blind) {
        s.acknowledge = 0;
    }
    if (o.step) {
        s.pause = 1;
    }
}

// The size of a file that opens for reading, or the refusal naming it.
std::optional<SetupError> CheckReadable(const std::string &what, const std::string &path,
                                        uint64_t &size) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::error_code error;
    if (!file || std::filesystem::is_directory(path, error)) {
        const int reason = file ? EISDIR : errno;
        return SetupError{kFileError,
                          "cannot read " + what + " " + path + ": " + std::strerror(reason)};
    }
    size += static_cast<uint64_t>(file.tellg());
    return std::nullopt;
}

}  // namespace

std::optional<SetupError> PrepareDownload(const DownloadOptions &o, const std::string &port,
                                          const std::filesystem::path &program_directory,
                                          DownloadSetup &setup) {
    std::unique_ptr<dekvanto::app::SettingsStore> file;
    if (o.settings_file) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(*o.settings_file, error)) {
            return SetupError{kFileError, "settings file " + *o.settings_file + " does not exist"};
        }
        file = dekvanto::app::OpenSettingsFile(*o.settings_file);
    }
    setup.store = std::make_unique<OverlayStore>(std::move(file));
    if (o.settings_file) {
        setup.settings = dekvanto::app::ReadCurrentSettings(*setup.store);
    } else {
        setup.settings.acknowledge = 1;  // the tool's default: the phone's answers are read
    }
    std::string loader =
        o.settings_file ? setup.store->ReadText("PathOption", "LoadFilePath", "") : "";
    bool perso_allowed = true;
    if (o.product) {
        if (auto refused = ApplyProduct(o, program_directory, setup, loader, perso_allowed)) {
            return refused;
        }
    }
    if (o.loader) {
        loader = *o.loader;
    }
    if (!port.empty()) {
        setup.settings.port_name = port;
    }
    ApplyLineOptions(o, setup.settings);
    if (o.reboot_delay) {
        setup.store->WriteInt("Setting", "RebootDelay", *o.reboot_delay);
    }
    if (!dekvanto::app::ReadsAsComPort(setup.settings.port_name)) {
        return SetupError{kBadUsage, "port name '" + setup.settings.port_name +
                                         "' is not COM followed by a number"};
    }
    if (loader.empty()) {
        return SetupError{kBadUsage,
                          "no loader file: give --loader, or --product, or --settings with a "
                          "LoadFilePath"};
    }
    if (o.perso && !perso_allowed) {
        return SetupError{kBadUsage,
                          "product \"" + *o.product + "\" takes no personalization file"};
    }

    setup.files = std::make_unique<dekvanto::app::FileRecords>();
    setup.files->loader.path = loader;
    setup.switches.code = o.code.has_value();
    setup.switches.perso = o.perso.has_value();
    if (auto refused = CheckReadable("loader file", loader, setup.total_bytes)) {
        return refused;
    }
    if (o.code) {
        setup.files->code.path = *o.code;
        if (auto refused = CheckReadable("code file", *o.code, setup.total_bytes)) {
            return refused;
        }
    }
    if (o.perso) {
        setup.files->perso.path = *o.perso;
        if (auto refused = CheckReadable("personalization file", *o.perso, setup.total_bytes)) {
            return refused;
        }
    }
    return std::nullopt;
}

}  // namespace dekvanto::cli
