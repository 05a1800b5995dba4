#include "sim/cli_options.h"

#include <charconv>
#include <functional>
#include <map>

#include "sim/frame_checks.h"

namespace dekvanto::sim {
namespace {

bool PhoneSpeed(uint32_t bit_rate) {
    for (uint8_t code = kFirstSpeedCode; code <= kLastSpeedCode; ++code) {
        if (BitRateOfCode(code) == bit_rate) {
            return true;
        }
    }
    return false;
}

// "57600, 115200, 230400 or 460800".
std::string PhoneSpeedList() {
    std::string list;
    for (uint8_t code = kFirstSpeedCode; code <= kLastSpeedCode; ++code) {
        list += (code == kFirstSpeedCode  ? ""
                 : code == kLastSpeedCode ? " or "
                                          : ", ") +
                std::to_string(BitRateOfCode(code));
    }
    return list;
}

std::optional<uint32_t> Number(const std::string &text) {
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

template <typename Target>
using SetterOf = std::function<std::string(Target &, const std::string &)>;
using Setter = SetterOf<PhoneConfig>;
using PlanSetter = SetterOf<UnitPlan>;

// A setter for a number within [low, high] stored through store.
template <typename Target = PhoneConfig, typename Store>
SetterOf<Target> Ranged(uint32_t low, uint32_t high, Store store) {
    return [=](Target &target, const std::string &text) -> std::string {
        const auto value = Number(text);
        if (!value || *value < low || *value > high) {
            return "'" + text + "' is not a number from " + std::to_string(low) + " to " +
                   std::to_string(high);
        }
        store(target, *value);
        return "";
    };
}

const std::map<std::string, Setter> &ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--port", Ranged(0, 255, [](PhoneConfig &c, uint32_t v) { c.port = int(v); })},
        {"--ports-dir",
         [](PhoneConfig &c, const std::string &v) {
             c.register_dir = v;
             return std::string(v.empty() ? "needs a directory" : "");
         }},
        {"--record",
         [](PhoneConfig &c, const std::string &v) {
             c.record_dir = v;
             return std::string(v.empty() ? "needs a directory" : "");
         }},
        {"--expect-target",
         Ranged(0, 0xFF, [](PhoneConfig &c, uint32_t v) { c.expect.target_byte = uint8_t(v); })},
        {"--expect-speed", [](PhoneConfig &c, const std::string &v) {
             const auto value = Number(v);
             if (!value || !PhoneSpeed(*value)) {
                 return "'" + v + "' is not " + PhoneSpeedList();
             }
             c.expect.bit_rate = *value;
             return std::string();
         }},
        {"--expect-parity",
         Ranged(0, 2, [](PhoneConfig &c, uint32_t v) { c.expect.parity = int(v); })},
        {"--expect-stop-bits",
         Ranged(1, 2, [](PhoneConfig &c, uint32_t v) { c.expect.stop_bits = int(v); })},
        {"--expect-request", Ranged(0x40, 0x43, [](PhoneConfig &c, uint32_t v) {
             c.expect.request_byte = uint8_t(v);
         })},
        {"--erase-delay-ms", Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) {
             c.delays.erase_start_ms = c.delays.erase_end_ms = v;
         })},
        {"--erase-start-delay-ms",
         Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.delays.erase_start_ms = v; })},
        {"--erase-end-delay-ms",
         Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.delays.erase_end_ms = v; })},
        {"--restart-delay-ms",
         Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.delays.restart_ms = v; })},
        {"--loader-start-delay-ms",
         Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.delays.loader_start_ms = v; })},
        {"--perso-done-delay-ms",
         Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.delays.perso_done_ms = v; })},
        {"--idle-timeout-ms",
         Ranged(1, 3600000, [](PhoneConfig &c, uint32_t v) { c.idle_timeout_ms = v; })},
        {"--linger-ms", Ranged(0, 600000, [](PhoneConfig &c, uint32_t v) { c.linger_ms = v; })},
        {"--adapter-latency-us",
         Ranged(0, 1000000, [](PhoneConfig &c, uint32_t v) { c.wire.latency_us = v; })},
        {"--fault", [](PhoneConfig &c, const std::string &v) {
             std::string error;
             const auto fault = ParseFault(v, error);
             if (fault) {
                 c.faults.push_back(*fault);
             }
             return error;
         }},
    };
    return options;
}

// The options of phones that come and go; any of them turns the unit plan on.
const std::map<std::string, PlanSetter> &PlanOptions() {
    constexpr uint32_t kMany = 1000000;
    static const std::map<std::string, PlanSetter> options = {
        {"--units", Ranged<UnitPlan>(0, kMany, [](UnitPlan &p, uint32_t v) { p.units = v; })},
        {"--absent-attempts",
         Ranged<UnitPlan>(0, kMany, [](UnitPlan &p, uint32_t v) { p.before_first.attempts = v; })},
        {"--absent-ms",
         Ranged<UnitPlan>(0, 3600000, [](UnitPlan &p, uint32_t v) { p.before_first.ms = v; })},
        {"--gap-attempts",
         Ranged<UnitPlan>(0, kMany, [](UnitPlan &p, uint32_t v) { p.between.attempts = v; })},
        {"--gap-ms",
         Ranged<UnitPlan>(0, 3600000, [](UnitPlan &p, uint32_t v) { p.between.ms = v; })},
        {"--stay-attempts",
         Ranged<UnitPlan>(0, kMany, [](UnitPlan &p, uint32_t v) { p.stay_attempts = v; })},
        {"--unit-fault",
         [](UnitPlan &p, const std::string &v) {
             std::string error;
             if (const auto fault = ParseUnitFault(v, error)) {
                 p.unit_faults.push_back(*fault);
             }
             return error;
         }},
    };
    return options;
}

// Sets the option name to value; "" when it went in, else what is wrong.
std::string SetOption(CliOptions &options, const std::string &name, const std::string &value) {
    if (const auto option = ValueOptions().find(name); option != ValueOptions().end()) {
        return option->second(options.config, value);
    }
    const auto option = PlanOptions().find(name);
    options.plan.enabled = true;
    return option->second(options.plan, value);
}

// A fault for a unit that never comes is a mistake in the command line.
std::string PlanMisfit(const UnitPlan &plan) {
    for (const auto &[unit, fault] : plan.unit_faults) {
        if (plan.units != 0 && unit > plan.units) {
            return "--unit-fault: unit " + std::to_string(unit) + " never comes with --units " +
                   std::to_string(plan.units);
        }
    }
    return "";
}

}  // namespace

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string> &args,
                                           std::string &error) {
    CliOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--wire-timed") {
            if (value) {
                error = name + " takes no value";
                return std::nullopt;
            }
            options.config.wire.enabled = true;
            continue;
        }
        if (name == "--own-terminal") {
            if (value) {
                error = name + " takes no value";
                return std::nullopt;
            }
            options.config.own_terminal = true;
            continue;
        }
        if (name == "--blind" || name == "--acknowledged") {
            if (value) {
                error = name + " takes no value";
                return std::nullopt;
            }
            options.config.acknowledged = name == "--acknowledged";
            continue;
        }
        if (!ValueOptions().count(name) && !PlanOptions().count(name)) {
            error = "unknown option '" + name + "'";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        const std::string problem = SetOption(options, name, *value);
        if (!problem.empty()) {
            error = name + ": " + problem;
            return std::nullopt;
        }
    }
    error = PlanMisfit(options.plan);
    if (!error.empty()) {
        return std::nullopt;
    }
    return options;
}

std::string UsageText() {
    return R"(Usage: vanto-phone-sim [options]

Simulates a VANTO phone on a pseudo-terminal registered as COM<n> in the port
register, for one firmware download (or for phones that come and go, below).
Prints "READY COM<n> <device>" once the port can be opened, runs the download,
prints "END consistent" or "END inconsistent" and the errors found (on standard
error).

  --port N                  COM number to register (default 0: lowest free)
  --ports-dir DIR           port register directory (default: $DEKVANTO_PORTS,
                            else ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/ports)
  --record DIR              write loader.bin, code.bin, perso.bin, summary.json
  --blind                   the PC ignores the phone's answers (no step waits)
  --acknowledged            the PC reads the phone's answers (default)
  --expect-target BYTE      memory target byte, e.g. 0x38
  --expect-speed BPS        announced speed: 57600, 115200, 230400, 460800
  --expect-parity P         0 none, 1 odd, 2 even
  --expect-stop-bits N      1 or 2
  --expect-request BYTE     download request byte, 0x40..0x43
  --erase-delay-ms MS       before both erase '8' (also --erase-start-delay-ms,
                            --erase-end-delay-ms)
  --restart-delay-ms MS     restart into DEKE, before its '8'
  --loader-start-delay-ms MS, --perso-done-delay-ms MS
  --idle-timeout-ms MS      end when the PC, once it has started, sends nothing for
                            this long (default 10000; longer than the PC's RebootDelay)
  --linger-ms MS            keep the line after the last answer until the PC has read
                            it or closed its port, at most this long (default 10000)
  --own-terminal            run in a session of its own with the line as its
                            controlling terminal (for a PC side under Wine)
  --wire-timed              bytes take the time a real line needs: 10 bit times each at
                            the speed in force, in both directions
  --adapter-latency-us US   with --wire-timed: the adapter's delay at each change of
                            direction (default 1000; a USB adapter's default timer: 16000)
  --fault KIND[=VALUE]@PLACE  commit a fault; may be repeated
      kinds:  nak[=BYTE] silent badsync[=BYTE] nosync delay=MS withhold unplug
      places: line loader-block:K code-size code-block:K checksum perso-size
              perso-block:K loader-ready erase-start erase-end deke-ready
              perso-done loader code perso   (blocks count from 1)

Phones that come and go, as on a production bench (any of these options turns
them on). An attempt is the PC opening the line and letting go of it; while no
phone is there, its bytes go nowhere and nothing answers. A phone arrives only
while the PC has let go of the line. As each phone goes, a line
"UNIT <n> <consistent|inconsistent> <end> flashings=<k> probes=<p> faults=<list>"
is printed, and with --record its record goes to DIR/unit-<n>.
  --units N                 phones in a row (default 1; 0: no end until stopped)
  --absent-attempts N       no phone until N attempts have found nothing
                            (default 0)
  --absent-ms MS            and until MS milliseconds have passed (default 0)
  --gap-attempts N          after a unit the phone goes once the PC lets go of
                            the line; the next one comes after N attempts have
                            found nothing (default 1)
  --gap-ms MS               and MS milliseconds after the PC let go (default 0)
  --stay-attempts N         a phone whose download was good stays for N more
                            attempts that reach its line setup frame: one that
                            stops there is a probe, one that goes on flashes it
                            a second time (an error of the unit)
  --unit-fault UNIT:KIND[=VALUE]@PLACE  a fault of that unit only (units count
                            from 1); --fault goes to every unit

Exit status: 0 consistent, 1 inconsistent or incomplete, 2 bad arguments,
3 the port could not be set up.
)";
}

}  // namespace dekvanto::sim
