#include "sim/unit_plan.h"

#include <charconv>

namespace dekvanto::sim {

std::vector<Fault> UnitPlan::FaultsOf(uint32_t unit, const std::vector<Fault> &every_unit) const {
    std::vector<Fault> faults = every_unit;
    for (const auto &[number, fault] : unit_faults) {
        if (number == unit) {
            faults.push_back(fault);
        }
    }
    return faults;
}

std::string UnitLine(const UnitReport &report) {
    const Summary &s = report.flashing;
    std::string faults;
    for (const std::string &fault : s.faults) {
        faults += (faults.empty() ? "" : ",") + fault;
    }
    return "UNIT " + std::to_string(report.unit) + " " +
           (s.consistent ? "consistent" : "inconsistent") + " " +
           std::string(EndReasonName(s.end)) + " flashings=" + std::to_string(report.flashings) +
           " probes=" + std::to_string(report.probes) +
           " faults=" + (faults.empty() ? "none" : faults);
}

std::string UnitFolderName(uint32_t unit) {
    return "unit-" + std::to_string(unit);
}

std::optional<std::pair<uint32_t, Fault>> ParseUnitFault(const std::string &text,
                                                         std::string &error) {
    const auto colon = text.find(':');
    uint32_t unit = 0;
    const char *end = text.data() + (colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || colon == 0 ||
        std::from_chars(text.data(), end, unit).ptr != end || unit == 0) {
        error = "'" + text + "' is not UNIT:KIND[=VALUE]@PLACE with a unit number from 1";
        return std::nullopt;
    }
    const auto fault = ParseFault(std::string_view(text).substr(colon + 1), error);
    if (!fault) {
        return std::nullopt;
    }
    return std::make_pair(unit, *fault);
}

}  // namespace dekvanto::sim
