#include "core/download/download_request.h"

#include <filesystem>
#include <system_error>

#include "core/files/read_only_file.h"
#include "core/products/product_selection.h"
#include "core/products/product_table.h"
#include "core/settings/setting_values.h"
#include "core/settings/settings_file.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// Why a file that does not open for reading cannot be read, in the system's words.
std::string WhyNotReadable(const std::string &path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        return std::make_error_code(std::errc::no_such_file_or_directory).message();
    }
    if (fs::is_directory(status)) {
        return std::make_error_code(std::errc::is_a_directory).message();
    }
    if (!fs::is_regular_file(status)) {
        return "not a regular file";
    }
    return std::make_error_code(std::errc::permission_denied).message();
}

// A configuration file the request names: "<what> <path> does not exist", or why it cannot be
// read.
RequestRefusal MissingConfiguration(const std::string &what, const std::string &path) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        return {OutcomeClass::kFileError, what + " " + path + " does not exist"};
    }
    return {OutcomeClass::kFileError,
            "cannot read " + what + " " + path + ": " + WhyNotReadable(path)};
}

// Adds the size of a file to send to total, or refuses it when it does not open.
std::optional<RequestRefusal> CheckReadable(const std::string &what, const std::string &path,
                                            uint64_t &total) {
    const std::optional<FileStatus> status = StatusOfReadableFile(path);
    if (!status) {
        return RequestRefusal{OutcomeClass::kFileError,
                              "cannot read " + what + " " + path + ": " + WhyNotReadable(path)};
    }
    total += static_cast<uint64_t>(status->size);
    return std::nullopt;
}

// The product list the request reads.
fs::path ProductListOf(const DownloadOverrides &o, const ProgramFiles &program) {
    if (o.product_list) {
        return *o.product_list;
    }
    if (o.settings_file) {
        // The settings file's folder stands for the program's: the list lies beside it.
        SettingsPlace beside;
        beside.program_directory_writable = true;
        return FilesOfProgramDirectory(fs::absolute(*o.settings_file).parent_path(), beside)
            .product_list;
    }
    return program.product_list;
}

// The position of the product named `name` in the product box (1 for the first product), or 0.
int PositionOfProduct(const ProductTable &table, const std::string &name) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (Lower(table[i].name) == Lower(name)) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::string KnownProducts(const ProductTable &table) {
    std::string known;
    for (const Product &product : table) {
        known += (known.empty() ? "\"" : ", \"") + product.name + "\"";
    }
    return known.empty() ? " (it lists none)" : " (known: " + known + ")";
}

// Chooses the named product as the window's product box does: its loader, bus width and wait
// states replace the current ones.
std::optional<RequestRefusal> ApplyProduct(const DownloadOverrides &o, const ProgramFiles &program,
                                           DownloadRequest &request, std::string &loader,
                                           bool &perso_allowed) {
    const fs::path list = ProductListOf(o, program);
    const std::optional<ProductListReport> report = LoadProductListReport(list);
    if (!report) {
        return MissingConfiguration("product list", list.string());
    }
    const int position = PositionOfProduct(report->products, *o.product);
    if (position == 0) {
        return RequestRefusal{OutcomeClass::kBadRequest, "unknown product \"" + *o.product +
                                                             "\" in " + list.string() +
                                                             KnownProducts(report->products)};
    }
    request.product = report->products[static_cast<std::size_t>(position - 1)].name;
    ProductSelection selection(report->products, list.parent_path().string());
    const MemoryTarget current{loader, request.settings.ram_size, request.settings.wait_states};
    if (const auto choice = selection.Choose(position, request.store, current)) {
        loader = choice->target.loader_path;
        request.settings.ram_size = choice->target.ram_size;
        request.settings.wait_states = choice->target.wait_states;
        perso_allowed = choice->personalization_allowed;
    }
    return std::nullopt;
}

// Sets `setting` to the position of `word` in `values`; a refusal naming the accepted words when
// the word is not one of them.
std::optional<RequestRefusal> TakeWord(const char *name, const std::optional<std::string> &word,
                                       const SettingValues &values, int32_t &setting) {
    if (!word) {
        return std::nullopt;
    }
    if (const std::optional<int32_t> index = values.IndexOfWord(*word)) {
        setting = *index;
        return std::nullopt;
    }
    std::string accepted;
    for (const std::string &known : values.Words()) {
        accepted += (accepted.empty() ? "" : ", ") + known;
    }
    return RequestRefusal{OutcomeClass::kBadRequest,
                          std::string(name) + " '" + *word + "' is not one of " + accepted};
}

std::optional<RequestRefusal> ApplyLineOptions(const DownloadOverrides &o, CurrentSettings &s) {
    for (auto refusal : {TakeWord("speed", o.speed, kSpeeds, s.speed),
                         TakeWord("parity", o.parity, kParities, s.parity),
                         TakeWord("stop bits", o.stop_bits, kStopBits, s.stop_bits),
                         TakeWord("bus width", o.bus, kBusWidths, s.ram_size),
                         TakeWord("wait states", o.wait_states, kWaitStates, s.wait_states)}) {
        if (refusal) {
            return refusal;
        }
    }
    if (o.blind) {
        s.acknowledge = 0;
    }
    if (o.step) {
        s.pause = 1;
    }
    return std::nullopt;
}

std::optional<RequestRefusal> CheckFiles(const DownloadOverrides &o, const std::string &loader,
                                         DownloadRequest &request) {
    request.files.loader.path = loader;
    request.switches.code = o.code.has_value();
    request.switches.perso = o.perso.has_value();
    if (auto refused = CheckReadable("loader file", loader, request.total_bytes)) {
        return refused;
    }
    if (o.code) {
        request.files.code.path = *o.code;
        if (auto refused = CheckReadable("code file", *o.code, request.total_bytes)) {
            return refused;
        }
    }
    if (o.perso) {
        request.files.perso.path = *o.perso;
        if (auto refused = CheckReadable("personalization file", *o.perso, request.total_bytes)) {
            return refused;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<RequestRefusal> BuildDownloadRequest(const DownloadOverrides &o,
                                                   const ProgramFiles &program,
                                                   DownloadRequest &request) {
    if (o.settings_file) {
        if (!StatusOfReadableFile(*o.settings_file)) {
            return MissingConfiguration("settings file", *o.settings_file);
        }
        request.store = OverlayStore(OpenSettingsFile(*o.settings_file));
        request.settings = ReadCurrentSettings(request.store);
    } else {
        request.settings.acknowledge = 1;  // the tool's default: the phone's answers are read
    }
    std::string loader =
        o.settings_file ? request.store.ReadText("PathOption", "LoadFilePath", "") : "";
    bool perso_allowed = true;
    if (o.product) {
        if (auto refused = ApplyProduct(o, program, request, loader, perso_allowed)) {
            return refused;
        }
    }
    if (o.loader) {
        loader = *o.loader;
    }
    if (!o.port.empty()) {
        request.settings.port_name = o.port;
    }
    if (auto refused = ApplyLineOptions(o, request.settings)) {
        return refused;
    }
    if (o.reboot_delay) {
        request.store.WriteInt("Setting", "RebootDelay", *o.reboot_delay);
    }
    if (!platform::PortName::Parse(request.settings.port_name)) {
        return RequestRefusal{
            OutcomeClass::kBadRequest,
            "port name '" + request.settings.port_name + "' is not COM followed by a number"};
    }
    if (loader.empty()) {
        return RequestRefusal{OutcomeClass::kBadRequest,
                              "no loader file: give --loader, or --product, or --settings with a "
                              "LoadFilePath"};
    }
    if (o.perso && !perso_allowed) {
        return RequestRefusal{OutcomeClass::kBadRequest,
                              "product \"" + *o.product + "\" takes no personalization file"};
    }
    return CheckFiles(o, loader, request);
}

}  // namespace dekvanto::core
