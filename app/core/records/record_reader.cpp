#include "core/records/record_reader.h"

#include <algorithm>
#include <istream>
#include <map>
#include <tuple>

#include "core/records/record_lines.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
namespace {

// What pairs the lines of one unit: its host, station and unit number, each compared whole (a
// host or station may hold any character, so no text joined from them could tell them apart).
using UnitKey = std::tuple<std::string, std::string, int64_t>;

UnitKey KeyOf(const UnitRecord &r) {
    return {r.constants.host, r.start.station, r.start.unit};
}

// The entry of `name` in a list kept in the order of first appearance, added when new; `places`
// holds each name's place in the list, so that a file of many different stations or results
// (a hostile one, say) is not searched through once per unit.
template <typename Counted>
Counted &EntryFor(std::vector<std::pair<std::string, Counted>> &list,
                  std::map<std::string, std::size_t> &places, const std::string &name) {
    const auto [place, added] = places.try_emplace(name, list.size());
    if (added) {
        list.emplace_back(name, Counted{});
    }
    return list[place->second].second;
}

}  // namespace

RecordReading ReadRecordFile(std::istream &in) {
    RecordReading reading;
    // The units that have started and not ended yet, by key: their place in reading.units.
    std::map<UnitKey, std::size_t> open;
    // The newest unit of each key, ended or not: the one that a removal line names.
    std::map<UnitKey, std::size_t> newest;
    std::string text;
    for (std::size_t number = 1; std::getline(in, text); ++number) {
        const bool cut_off = in.eof();  // the last line, without its newline
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        std::string why;
        std::optional<RecordLine> line = ParseRecordLine(text, why);
        if (!line) {
            reading.skipped.push_back(
                {number, cut_off ? "last line cut off while it was written" : why});
            continue;
        }
        const UnitKey key = KeyOf(line->record);
        if (line->event == RecordEvent::kRemoved) {
            if (const auto unit = newest.find(key); unit != newest.end()) {
                reading.units[unit->second].removed = std::move(line->removed);
            }
            continue;
        }
        if (line->event == RecordEvent::kStart) {
            open[key] = newest[key] = reading.units.size();
            reading.units.push_back({std::move(line->record), number, {}});
            continue;
        }
        if (const auto started = open.find(key); started != open.end()) {
            reading.units[started->second].record = std::move(line->record);
            open.erase(started);
        } else {
            newest[key] = reading.units.size();
            reading.units.push_back({std::move(line->record), number, {}});
        }
    }
    return reading;
}

UnitVerdict VerdictOf(const UnitRecord &record) {
    return record.end ? VerdictOfClass(record.end->status) : UnitVerdict::kInterrupted;
}

UnitVerdict VerdictOfClass(OutcomeClass status) {
    switch (status) {
        case OutcomeClass::kFinished:
            return UnitVerdict::kPassed;
        case OutcomeClass::kStopped:
            return UnitVerdict::kStopped;
        default:
            return UnitVerdict::kFailed;
    }
}

std::string_view VerdictWord(UnitVerdict verdict) {
    switch (verdict) {
        case UnitVerdict::kPassed:
            return "PASS";
        case UnitVerdict::kStopped:
            return "STOPPED";
        case UnitVerdict::kInterrupted:
            return "INTERRUPTED";
        case UnitVerdict::kFailed:
            break;
    }
    return "FAIL";
}

std::vector<RecordedUnit> SelectUnits(const std::vector<RecordedUnit> &units,
                                      const UnitFilter &filter) {
    std::vector<RecordedUnit> selected;
    for (const RecordedUnit &unit : units) {
        const UnitStart &start = unit.record.start;
        if ((filter.station &&
             !platform::PortName::NamesOfOnePort(start.station, *filter.station)) ||
            (filter.since && start.started < *filter.since) ||
            (filter.failed_only && VerdictOf(unit.record) == UnitVerdict::kPassed)) {
            continue;
        }
        selected.push_back(unit);
    }
    return selected;
}

VerdictCounts &VerdictCounts::operator+=(const VerdictCounts &other) {
    units += other.units;
    passed += other.passed;
    failed += other.failed;
    stopped += other.stopped;
    interrupted += other.interrupted;
    return *this;
}

void VerdictCounts::Add(UnitVerdict verdict) {
    ++units;
    switch (verdict) {
        case UnitVerdict::kPassed:
            ++passed;
            break;
        case UnitVerdict::kFailed:
            ++failed;
            break;
        case UnitVerdict::kStopped:
            ++stopped;
            break;
        case UnitVerdict::kInterrupted:
            ++interrupted;
            break;
    }
}

std::string ResultLabel(const UnitRecord &record) {
    if (!record.end) {
        return "interrupted";
    }
    const UnitEnd &end = *record.end;
    const std::string line =
        end.result_line.empty() ? std::string(StatusWord(end.status)) : end.result_line;
    return (end.result ? std::string(1, *end.result) : std::string("-")) + " " + line;
}

RecordTotals TotalsOf(const std::vector<RecordedUnit> &units) {
    RecordTotals totals;
    const bool several_hosts =
        std::any_of(units.begin(), units.end(), [&units](const RecordedUnit &unit) {
            return unit.record.constants.host != units.front().record.constants.host;
        });
    std::map<std::string, std::size_t> station_places;
    std::map<std::string, std::size_t> result_places;
    for (const RecordedUnit &unit : units) {
        const UnitVerdict verdict = VerdictOf(unit.record);
        totals.all.Add(verdict);
        const UnitRecord &r = unit.record;
        EntryFor(totals.stations, station_places,
                 several_hosts ? r.constants.host + " " + r.start.station : r.start.station)
            .Add(verdict);
        ++EntryFor(totals.results, result_places, ResultLabel(unit.record));
    }
    return totals;
}

}  // namespace dekvanto::core
