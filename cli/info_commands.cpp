#include "info_commands.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <ostream>

#include "core/engine_library.h"
#include "core/port_name.h"
#include "core/posix_port_source.h"
#include "core/product_table.h"
#include "core/program_folder.h"
#include "core/result_lines.h"
#include "core/string_table.h"
#include "exit_status.h"
#include "sim/cli_options.h"
#include "sim/phone_simulator.h"

namespace vanto {
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

int AssignPort(const std::string &assignment, const fs::path &register_dir, Console &console) {
    const auto equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const std::string device = equals == std::string::npos ? "" : assignment.substr(equals + 1);
    if (!dekvanto::app::ReadsAsComPort(name) ||
        name.find_first_not_of("COM0123456789") != std::string::npos || device.empty()) {
        console.err << "vanto: --assign takes COM<n>=DEVICE, for example COM3=/dev/ttyUSB0"
                    << std::endl;
        return kBadUsage;
    }
    std::error_code error;
    if (!fs::exists(device, error)) {
        console.err << "vanto: device " << device << " does not exist" << std::endl;
        return kPortError;
    }
    const fs::path link = register_dir / name;
    if (fs::is_symlink(link, error)) {
        if (fs::read_symlink(link, error) == fs::path(device)) {
            return kFinished;
        }
        console.err << "vanto: " << name << " already leads to " << fs::read_symlink(link, error)
                    << "; remove " << link << " first" << std::endl;
        return kBadUsage;
    }
    fs::create_directories(register_dir, error);
    fs::create_symlink(device, link, error);
    if (error) {
        console.err << "vanto: cannot make " << link << ": " << error.message() << std::endl;
        return kPortError;
    }
    console.out << name << " -> " << device << std::endl;
    return kFinished;
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

int RunPorts(const std::optional<std::string> &assign, Console &console) {
    auto places = dekvanto::app::PosixPortSource::SystemPlaces();
    if (assign) {
        if (places.register_directory.empty()) {
            console.err << "vanto: no port register: set DEKVANTO_PORTS or HOME" << std::endl;
            return kPortError;
        }
        if (const int status = AssignPort(*assign, places.register_directory, console)) {
            return status;
        }
    }
    dekvanto::app::PosixPortSource source(places);
    for (const auto &entry : source.ListPorts()) {
        char row[256];
        std::snprintf(row, sizeof row, "%-7s %-40s %s", entry.name.c_str(),
                      entry.device.empty() ? "-" : entry.device.c_str(), entry.product.c_str());
        std::string text = row;
        text.erase(text.find_last_not_of(' ') + 1);
        console.out << text << std::endl;
    }
    if (!places.register_directory.empty()) {
        console.out << "(port register: " << places.register_directory.string() << ")" << std::endl;
    }
    return kFinished;
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

int RunSimulate(const std::vector<std::string> &args, Console &console) {
    std::string error;
    const auto options = sim::ParseCommandLine(args, error);
    if (!options) {
        console.err << "vanto simulate: " << error << std::endl;
        return kBadUsage;
    }
    if (options->help) {
        console.out << sim::UsageText();
        return kFinished;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);

    sim::PhoneSimulator phone(options->config);
    if (!phone.Start()) {
        console.err << "vanto simulate: " << phone.SetupError() << std::endl;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return sim::kExitSetup;
    }
    console.out << "READY COM" << phone.PortNumber() << ' ' << phone.SlavePath() << std::endl;
    sim::Summary summary;
    for (;;) {
        if (auto ended = phone.Wait(std::chrono::milliseconds(100))) {
            summary = *ended;
            break;
        }
        const timespec no_wait{0, 0};
        if (::sigtimedwait(&signals, nullptr, &no_wait) > 0) {
            phone.Stop();
            summary = phone.Finish(std::chrono::seconds(5));
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    for (const std::string &found : summary.errors) {
        console.err << "vanto simulate: " << found << std::endl;
    }
    console.out << "END " << (summary.consistent ? "consistent" : "inconsistent") << std::endl;
    return summary.consistent ? sim::kExitConsistent : sim::kExitInconsistent;
}

}  // namespace vanto
