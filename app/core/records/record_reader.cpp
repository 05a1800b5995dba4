#include "core/records/record_reader.h"

#include <algorithm>
#include <istream>
#include <iterator>
#include <map>

#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
namespace {

// The entry of `name` in a list kept in the order of first appearance, added when new; `places`
// holds each name's place in the list, so that a file of many different stations or results
// (a hostile one, say) is not searched through once per unit.
template <typename Name, typename Counted>
Counted &EntryFor(std::vector<std::pair<Name, Counted>> &list, std::map<Name, std::size_t> &places,
                  const Name &name) {
    const auto [place, added] = places.try_emplace(name, list.size());
    if (added) {
        list.emplace_back(name, Counted{});
    }
    return list[place->second].second;
}

}  // namespace

RecordReading ReadRecordFile(std::istream &in) {
    RecordReading reading;
    StreamRecordFile(
        in, {[&reading](RecordedUnit unit) { reading.units.push_back(std::move(unit)); },
             [&reading](const SkippedRecordLine &skipped) { reading.skipped.push_back(skipped); }});
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

bool UnitFilter::Admits(const RecordedUnit &unit) const {
    const UnitStart &start = unit.record.start;
    return (!station || platform::PortName::NamesOfOnePort(start.station, *station)) &&
           (!since || start.started >= *since) &&
           (!failed_only || VerdictOf(unit.record) != UnitVerdict::kPassed);
}

std::vector<RecordedUnit> SelectUnits(const std::vector<RecordedUnit> &units,
                                      const UnitFilter &filter) {
    std::vector<RecordedUnit> selected;
    std::copy_if(units.begin(), units.end(), std::back_inserter(selected),
                 [&filter](const RecordedUnit &unit) { return filter.Admits(unit); });
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

void TotalsCounter::Add(const UnitRecord &record) {
    const UnitVerdict verdict = VerdictOf(record);
    all_.Add(verdict);
    EntryFor(stations_, station_places_, Station{record.constants.host, record.start.station})
        .Add(verdict);
    ++EntryFor(results_, result_places_, ResultLabel(record));
    if (!first_host_) {
        first_host_ = record.constants.host;
    }
    several_hosts_ = several_hosts_ || record.constants.host != *first_host_;
}

RecordTotals TotalsCounter::Totals() const {
    RecordTotals totals{all_, {}, results_};
    std::map<std::string, std::size_t> places;
    for (const auto &[station, counts] : stations_) {
        const std::string name =
            several_hosts_ ? station.first + " " + station.second : station.second;
        EntryFor(totals.stations, places, name) += counts;
    }
    return totals;
}

RecordTotals TotalsOf(const std::vector<RecordedUnit> &units) {
    TotalsCounter counter;
    for (const RecordedUnit &unit : units) {
        counter.Add(unit.record);
    }
    return counter.Totals();
}

}  // namespace dekvanto::core
