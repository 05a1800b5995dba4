// vanto-demo: a whole download of generated sample firmware into the simulated phone.
//
// Writes a loader, a code file and a personalization file that agree with each other, starts the
// phone simulator on a pseudo-terminal registered as a COM port, loads the engine library from
// this program's own folder by its file name, checks the mapping, runs the download while showing
// the log and the progress, and ends by telling whether the phone received exactly what was sent.
#include <dlfcn.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "dekvanto/firmware_image.h"
#include "dekvanto/mx40.h"
#include "sim/phone_simulator.h"

namespace {

namespace fs = std::filesystem;

struct DemoOptions {
    uint32_t bit_rate = 460800;
    bool blind = false;
    uint32_t code_size = 256 * 1024;
    uint32_t perso_size = 4096;
};

struct Engine {
    void *library = nullptr;
    Mxl40_Init_Fn init = nullptr;
    Mxl40_StartStop_Fn start_stop = nullptr;
    Mxl40_Download_Fn download = nullptr;
    CheckMapCompat_Fn check = nullptr;
};

constexpr uint32_t kRates[] = {57600, 115200, 230400, 460800};

// The speed index of the settings record for a bit rate (the rate is one of kRates).
int32_t SpeedIndex(uint32_t bit_rate) {
    return static_cast<int32_t>(std::find(std::begin(kRates), std::end(kRates), bit_rate) -
                                std::begin(kRates));
}

// Parses the command line. Returns the exit status to end with (0 after --help, 2 for a bad
// argument, with the reason printed), or nothing to go on.
std::optional<int> ParseOptions(int argc, char **argv, DemoOptions &options) {
    CLI::App app{
        "Downloads generated sample firmware (a loader, a code file and a personalization file "
        "that agree with each other) into the simulated phone on a pseudo-terminal, through the "
        "engine library beside this program, and tells whether the phone received exactly what "
        "was sent.\n\nExit status: 0 the phone received exactly what was sent, 1 it did not (or "
        "the download failed), 2 bad arguments, 3 the engine or the phone could not be set up.",
        "vanto-demo"};
    app.add_option("--speed", options.bit_rate, "download speed in bit/s")
        ->check(CLI::IsMember(std::vector<uint32_t>(std::begin(kRates), std::end(kRates))))
        ->capture_default_str();
    app.add_flag("--blind", options.blind,
                 "blind mode: send without reading the phone's answers (default: acknowledged)");
    app.add_option("--code-size", options.code_size, "size of the code file in bytes")
        ->check(CLI::Range(64u, 64u * 1024 * 1024))
        ->capture_default_str();
    app.add_option("--perso-size", options.perso_size, "size of the personalization file in bytes")
        ->check(CLI::Range(6u, 16u * 1024 * 1024))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    return std::nullopt;
}

fs::path ProgramFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

bool LoadEngine(Engine &engine) {
    const fs::path path = ProgramFolder() / MX40_LIBRARY_FILE_NAME;
    engine.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (engine.library == nullptr) {
        std::fprintf(stderr, "vanto-demo: cannot load %s: %s\n", path.c_str(), dlerror());
        return false;
    }
    engine.init = reinterpret_cast<Mxl40_Init_Fn>(dlsym(engine.library, "Mxl40_Init"));
    engine.start_stop =
        reinterpret_cast<Mxl40_StartStop_Fn>(dlsym(engine.library, "Mxl40_StartStop"));
    engine.download = reinterpret_cast<Mxl40_Download_Fn>(dlsym(engine.library, "Mxl40_Download"));
    engine.check = reinterpret_cast<CheckMapCompat_Fn>(dlsym(engine.library, "CheckMapCompat"));
    if (!engine.init || !engine.start_stop || !engine.download || !engine.check) {
        std::fprintf(stderr, "vanto-demo: %s lacks a function\n", path.c_str());
        return false;
    }
    return true;
}

// The terminal as the engine's window: log lines, the byte counter and a progress bar.
struct Console {
    int steps = 0;
    unsigned long bytes = 0;
    bool bar_shown = false;
    int last_tenth = 0;

    void EndBar() {
        if (bar_shown) {
            std::printf("\n");
            bar_shown = false;
        }
    }

    void DrawBar() {
        if (isatty(STDOUT_FILENO) == 0) {
            // Into a file or a pipe: one line per tenth instead of a redrawn bar.
            if (steps % 10 == 0 && steps != last_tenth) {
                last_tenth = steps;
                std::printf("  progress %3d%%  Download : %lu bytes\n", steps, bytes);
            }
            return;
        }
        const int filled = steps > 100 ? 50 : steps / 2;
        std::printf("\r  [%-50.*s] %3d%%  Download : %lu bytes", filled,
                    "##################################################", steps > 100 ? 100 : steps,
                    bytes);
        std::fflush(stdout);
        bar_shown = true;
    }
};

intptr_t OnMessage(void *context, uint32_t message, uintptr_t wparam, intptr_t) {
    auto &console = *static_cast<Console *>(context);
    if (message == MX40_WM_LOG_LINE) {
        console.EndBar();
        std::printf("  %s\n", reinterpret_cast<const char *>(wparam));
    } else if (message == MX40_WM_BYTE_COUNT) {
        console.bytes = static_cast<unsigned long>(wparam);
        console.DrawBar();
    } else if (message == MX40_WM_PROGRESS_STEP) {
        ++console.steps;
        console.DrawBar();
    }
    std::fflush(stdout);
    return 0;
}

void OnMessageBox(void *context, const char *text) {
    static_cast<Console *>(context)->EndBar();
    std::printf("  [message] %s\n", text);
}

const char *Verdict(int32_t result) {
    switch (result) {
        case MX40_RESULT_DONE:
            return "download finished";
        case MX40_RESULT_STOPPED:
        case MX40_RESULT_STOPPED_WAITING:
            return "download stopped";
        case MX40_RESULT_PORT_ERROR:
            return "port error";
        case MX40_RESULT_NO_SYNC:
            return "no synchronisation with the phone";
        case MX40_RESULT_BAD_ACK:
            return "bad acknowledgement";
        case MX40_RESULT_NO_ACK:
            return "no acknowledgement";
        default:
            return "download failed";
    }
}

dekvanto::image::Bytes ReadWhole(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return dekvanto::image::Bytes(std::istreambuf_iterator<char>(in), {});
}

bool Same(const char *what, const dekvanto::image::Bytes &sent, const std::vector<uint8_t> &got) {
    const bool same = sent == got;
    std::printf("  %-22s sent %9zu bytes, received %9zu bytes: %s\n", what, sent.size(), got.size(),
                same ? "identical" : "DIFFERENT");
    return same;
}

int RunDemo(const DemoOptions &options) {
    char pattern[] = "/tmp/vanto-demo-XXXXXX";
    const fs::path work = mkdtemp(pattern);
    const fs::path ports = work / "ports";
    fs::create_directories(ports);
    setenv("DEKVANTO_PORTS", ports.c_str(), 1);

    dekvanto::image::SampleSetSpec layout;
    layout.code_size = options.code_size;
    layout.perso_size = options.perso_size;
    const auto paths = dekvanto::image::WriteSampleSet(work / "firmware", layout);
    std::printf("Sample firmware in %s\n", (work / "firmware").c_str());

    Engine engine;
    if (!LoadEngine(engine)) {
        return 3;
    }

    dekvanto::sim::PhoneConfig config;
    config.acknowledged = !options.blind;
    config.record_dir = (work / "received").string();
    config.expect.bit_rate = options.bit_rate;
    dekvanto::sim::PhoneSimulator phone(config);
    if (!phone.Start()) {
        std::fprintf(stderr, "vanto-demo: the simulated phone did not start: %s\n",
                     phone.SetupError().c_str());
        return 3;
    }
    std::printf("Simulated phone on COM%d (%s)\n\n", phone.PortNumber(), phone.SlavePath().c_str());

    const std::string loader = paths.loader.string();
    const std::string code = paths.code.string();
    const std::string perso = paths.perso.string();
    engine.init(0);
    const int32_t mapping = engine.check(code.c_str(), perso.c_str());
    std::printf("Mapping check: %d (%s)\n", mapping,
                mapping == MX40_MAP_COMPATIBLE ? "compatible" : "NOT compatible");
    if (mapping != MX40_MAP_COMPATIBLE) {
        return 1;
    }

    Console console;
    Mx40Window window{&console, OnMessage, nullptr, OnMessageBox};
    Mx40Settings settings{phone.PortNumber() - 1, 0, 1, SpeedIndex(options.bit_rate), 0, 0, 1};
    const Mx40Files files{loader.c_str(), code.c_str(), perso.c_str()};
    const Mx40Options download_options{0, 0, options.blind ? 0 : 1, 1};
    const int32_t result = engine.download(&window, &settings, &files, &download_options);
    console.EndBar();
    std::printf("\nResult '%c': %s\n", static_cast<char>(result), Verdict(result));

    // The engine has let go of the line; the phone ends once it has taken in everything sent.
    const dekvanto::sim::Summary summary = phone.Finish(std::chrono::seconds(120));
    std::printf("\nWhat the phone received (also in %s):\n", config.record_dir.c_str());
    bool same = Same("loader", ReadWhole(paths.loader), summary.loader);
    same = Same("code file", ReadWhole(paths.code), summary.code) && same;
    same = Same("personalization file", ReadWhole(paths.perso), summary.perso) && same;
    for (const auto &error : summary.errors) {
        std::printf("  phone: %s\n", error.c_str());
    }
    const bool good = result == MX40_RESULT_DONE && same && summary.consistent;
    std::printf("\n%s\n", good ? "The phone received exactly what was sent."
                               : "The phone did NOT receive exactly what was sent.");
    dlclose(engine.library);
    return good ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    DemoOptions options;
    if (const auto status = ParseOptions(argc, argv, options)) {
        return *status;
    }
    try {
        return RunDemo(options);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "vanto-demo: %s\n", error.what());
        return 3;
    }
}
