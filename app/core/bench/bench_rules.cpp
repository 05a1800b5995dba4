#include "core/bench/bench_rules.h"

#include <algorithm>

#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
std::optional<BenchRefusal> CheckBenchPlan(const BenchPlan &plan) {
    if (plan.ports.empty() || plan.ports.size() > kMaxBenchStations) {
        return BenchRefusal{kBadUsage, "a bench has 1 to " + std::to_string(kMaxBenchStations) +
                                           " ports, one station each"};
    }
    std::vector<platform::PortName> stations;
    for (const std::string &text : plan.ports) {
        const std::optional<platform::PortName> port = platform::PortName::Parse(text);
        if (!port) {
            return BenchRefusal{kBadUsage, "\"" + text + "\" is no port name (COM<n>)"};
        }
        if (std::find(stations.begin(), stations.end(), *port) != stations.end()) {
            return BenchRefusal{kBadUsage, text + " is given twice: one station per port"};
        }
        stations.push_back(*port);
    }
    if (!plan.acknowledged && !plan.scan) {
        return BenchRefusal{kBadUsage,
                            "in blind mode the line cannot tell whether a phone is there: a "
                            "blind bench needs --scan"};
    }
    if (plan.step) {
        return BenchRefusal{kBadUsage,
                            "a bench runs unattended: step mode waits for Enter at every phone"};
    }
    if (plan.count && *plan.count < 1) {
        return BenchRefusal{kBadUsage, "the count of units must be 1 or more"};
    }
    if (!(plan.poll_seconds >= kMinPollSeconds && plan.poll_seconds <= kMaxPollSeconds)) {
        return BenchRefusal{kBadUsage, "the poll interval must be 0.01 to 3600 seconds"};
    }
    if (plan.reboot_delay > kMaxRebootDelaySeconds) {
        return BenchRefusal{kBadUsage, "a reboot delay of " + std::to_string(plan.reboot_delay) +
                                           " seconds: a bench waits at most " +
                                           std::to_string(kMaxRebootDelaySeconds)};
    }
    return std::nullopt;
}

std::optional<std::string> IdentifierProblem(std::string_view identifier) {
    if (identifier.empty()) {
        return "an empty identifier";
    }
    if (identifier.size() > kMaxIdentifierBytes) {
        return "an identifier of more than " + std::to_string(kMaxIdentifierBytes) + " bytes";
    }
    for (const char c : identifier) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "an identifier with a control character";
        }
    }
    return std::nullopt;
}

bool StationCouldNotGoOn(int status) {
    return status != kFinished && status != kStopped && status != kUnitsFailed;
}

ExitStatus BenchExitStatus(const std::vector<int> &station_statuses, bool interrupted,
                           const VerdictCounts &units) {
    bool stopped = interrupted;
    bool failed = units.failed > 0 || units.interrupted > 0;
    for (const int status : station_statuses) {
        if (StationCouldNotGoOn(status)) {
            return static_cast<ExitStatus>(status);
        }
        stopped = stopped || status == kStopped;
        failed = failed || status == kUnitsFailed;
    }
    if (stopped) {
        return kStopped;
    }
    return failed ? kUnitsFailed : kFinished;
}

}  // namespace dekvanto::core
