#include "core/bench/bench_setup.h"

#include <nlohmann/json.hpp>
#include <system_error>

#include "core/bench/bench_rules.h"
#include "dekvanto/platform/whole_file.h"

namespace dekvanto::core {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char *kFormat = "dekvanto-bench-setup";
constexpr int kVersion = 1;

// The text fields of a set-up, and whether each is a path taken from the file's folder.
struct TextField {
    const char *name;
    std::optional<std::string> BenchSetup::*member;
    bool path;
};

constexpr TextField kTextFields[] = {
    {"settings_file", &BenchSetup::settings_file, true},
    {"product", &BenchSetup::product, false},
    {"product_list", &BenchSetup::product_list, true},
    {"loader", &BenchSetup::loader, true},
    {"code", &BenchSetup::code, true},
    {"perso", &BenchSetup::perso, true},
    {"speed", &BenchSetup::speed, false},
    {"parity", &BenchSetup::parity, false},
    {"stop_bits", &BenchSetup::stop_bits, false},
    {"bus", &BenchSetup::bus, false},
    {"wait_states", &BenchSetup::wait_states, false},
    {"operator", &BenchSetup::operator_name, false},
};

// The options of vanto that the text fields give, in the order of kTextFields.
constexpr const char *kTextOptions[] = {
    "--settings", "--product", "--products",  "--loader", "--code",        "--perso",
    "--speed",    "--parity",  "--stop-bits", "--bus",    "--wait-states", "--operator",
};
static_assert(std::size(kTextOptions) == std::size(kTextFields));

std::string FromFolder(const std::string &path,
                       const std::optional<std::filesystem::path> &folder) {
    const std::filesystem::path given(path);
    if (!folder || given.is_absolute() || path.empty()) {
        return path;
    }
    return (*folder / given).lexically_normal().string();
}

// Checks a whole set-up as read, by the bench's own rules; "" when it is good.
std::string Problem(const BenchSetup &setup) {
    if (setup.record.empty()) {
        return "no record file";
    }
    const std::optional<BenchRefusal> refused =
        CheckBenchPlan({.ports = setup.ports,
                        .scan = setup.scan,
                        .acknowledged = !setup.blind,
                        .count = setup.count,
                        .poll_seconds = setup.poll_seconds,
                        .reboot_delay = setup.reboot_delay.value_or(0)});
    return refused ? refused->text : "";
}

BenchSetup SetupOf(const Json &object, const std::optional<std::filesystem::path> &folder) {
    BenchSetup setup;
    setup.ports = object.at("ports").get<std::vector<std::string>>();
    for (const TextField &field : kTextFields) {
        if (object.contains(field.name) && !object[field.name].is_null()) {
            const std::string text = object[field.name].get<std::string>();
            setup.*field.member = field.path ? FromFolder(text, folder) : text;
        }
    }
    setup.blind = object.value("mode", std::string("acknowledged")) == "blind";
    if (object.contains("reboot_delay")) {
        setup.reboot_delay = object["reboot_delay"].get<int>();
    }
    setup.record = FromFolder(object.at("record").get<std::string>(), folder);
    setup.poll_seconds = object.value("poll_seconds", 1.0);
    setup.scan = object.value("scan", false);
    if (object.contains("count")) {
        setup.count = object["count"].get<int>();
    }
    return setup;
}

}  // namespace

BenchSetupReading ReadBenchSetup(const std::string &text,
                                 const std::optional<std::filesystem::path> &folder) {
    const Json object = Json::parse(text, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        return {.error = "not a JSON object"};
    }
    if (object.value("format", std::string()) != kFormat) {
        return {.error = std::string("not a bench set-up (\"format\" is not \"") + kFormat + "\")"};
    }
    if (!object.contains("version") || !object["version"].is_number_integer() ||
        object["version"].get<int>() > kVersion) {
        return {.error = "a bench set-up of a version this program does not know"};
    }
    const std::string mode = object.value("mode", std::string("acknowledged"));
    if (mode != "acknowledged" && mode != "blind") {
        return {.error = "\"mode\" is neither \"acknowledged\" nor \"blind\""};
    }
    BenchSetup setup;
    try {
        setup = SetupOf(object, folder);
    } catch (const nlohmann::json::exception &) {
        return {.error =
                    "a field is missing or of the wrong type (\"ports\" and \"record\" are "
                    "needed)"};
    }
    if (std::string problem = Problem(setup); !problem.empty()) {
        return {.error = std::move(problem)};
    }
    return {.setup = std::move(setup)};
}

BenchSetupReading ReadBenchSetupFile(const std::filesystem::path &path) {
    std::error_code error;
    const std::optional<std::string> text = platform::ReadWholeFile(path, error);
    if (!text) {
        return {.error = "cannot read the bench set-up " + path.string() + ": " + error.message()};
    }
    BenchSetupReading reading = ReadBenchSetup(*text, path.parent_path());
    if (!reading.setup) {
        reading.error = "bench set-up " + path.string() + ": " + reading.error;
    }
    return reading;
}

std::string BenchSetupText(const BenchSetup &setup) {
    Json object;
    object["format"] = kFormat;
    object["version"] = kVersion;
    object["ports"] = setup.ports;
    for (const TextField &field : kTextFields) {
        if (const auto &value = setup.*field.member) {
            object[field.name] = *value;
        }
    }
    object["mode"] = setup.blind ? "blind" : "acknowledged";
    if (setup.reboot_delay) {
        object["reboot_delay"] = *setup.reboot_delay;
    }
    object["record"] = setup.record;
    object["poll_seconds"] = setup.poll_seconds;
    object["scan"] = setup.scan;
    if (setup.count) {
        object["count"] = *setup.count;
    }
    return object.dump(2) + "\n";
}

bool WriteBenchSetupFile(const std::filesystem::path &path, const BenchSetup &setup,
                         std::string &error) {
    std::error_code why;
    if (!platform::ReplaceWholeFile(path, BenchSetupText(setup), why)) {
        error = "cannot write the bench set-up " + path.string() + ": " + why.message();
        return false;
    }
    return true;
}

std::vector<std::string> BenchArguments(const BenchSetup &setup) {
    std::string ports;
    for (const std::string &port : setup.ports) {
        ports += (ports.empty() ? "" : ",") + port;
    }
    std::vector<std::string> arguments{"bench", "--port", ports};
    for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
        if (const auto &value = setup.*kTextFields[i].member) {
            arguments.insert(arguments.end(), {kTextOptions[i], *value});
        }
    }
    if (setup.blind) {
        arguments.push_back("--blind");
    }
    if (setup.reboot_delay) {
        arguments.insert(arguments.end(), {"--reboot-delay", std::to_string(*setup.reboot_delay)});
    }
    arguments.insert(arguments.end(), {"--record", setup.record});
    if (setup.poll_seconds != 1.0) {
        Json seconds = setup.poll_seconds;
        arguments.insert(arguments.end(), {"--poll", seconds.dump()});
    }
    if (setup.scan) {
        arguments.push_back("--scan");
    }
    if (setup.count) {
        arguments.insert(arguments.end(), {"--count", std::to_string(*setup.count)});
    }
    arguments.push_back("--events");
    return arguments;
}

}  // namespace dekvanto::core
