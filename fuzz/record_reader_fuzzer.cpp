// Fuzzes the reading of a bench's record file: the reader that pairs the lines into units, the
// selection and totals that `vanto records` shows, and the search for a station's last unit that
// a bench makes when it starts again.
//
// Input: the record file's bytes, as another machine, a crash or a hostile hand may have left
// them. A breach of what follows aborts:
// - reading is the same twice; the units and the skipped lines each come in the order of their
//   lines, within the file's lines, never on the same line;
// - read with a window of a few units or bytes, the oldest unit goes out as it stands: the same
//   lines are skipped, each unit of the whole reading starts at the same line, the same or
//   without an end or removal line that came after it went, and every other unit is an end line
//   whose start went out before it;
// - each unit names the host, station and unit number of the line it starts at, and an
//   interrupted unit is that start line's record; each unit written back as a line reads back
//   the same;
// - the totals add up: every unit counted once by its verdict, per station and per result;
// - a selection keeps units in order, each one meeting the filter; the failed ones are all but
//   those that passed;
// - the last unit of a station is the same whatever the size of the blocks the file is read in,
//   and is a unit that the reader found for that station.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/records/record_lines.h"
#include "core/records/record_reader.h"
#include "core/records/record_stream.h"
#include "core/records/record_tail.h"
#include "dekvanto/platform/port_name.h"

namespace {

using namespace dekvanto::core;

// Two station texts name one port ("com3" is "COM3"); a text that names no port matches none.
bool OnePort(std::string_view a, std::string_view b) {
    return dekvanto::platform::PortName::NamesOfOnePort(a, b);
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A file of this process that holds the input, for the search from the file's end.
class InputFile {
  public:
    InputFile() {
        const char *folder = std::getenv("TMPDIR");
        path_ = std::string(folder && *folder ? folder : "/tmp") + "/record_reader_fuzzer.XXXXXX";
        const int fd = mkstemp(path_.data());
        Require(fd >= 0);
        close(fd);
    }
    ~InputFile() { unlink(path_.c_str()); }

    const std::string &Write(std::string_view bytes) {
        std::FILE *file = std::fopen(path_.c_str(), "wb");
        Require(file != nullptr);
        Require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
        Require(std::fclose(file) == 0);
        return path_;
    }

  private:
    std::string path_;
};

// The file's lines as the reader numbers them: a last line without its newline counts.
std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        lines.push_back(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    }
    return lines;
}

std::optional<RecordLine> LineAt(const std::vector<std::string_view> &lines, std::size_t number) {
    std::string_view text = lines.at(number - 1);
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    std::string why;
    return ParseRecordLine(text, why);
}

bool SameUnit(const UnitRecord &a, const UnitRecord &b) {
    return a.constants.host == b.constants.host && a.start.station == b.start.station &&
           a.start.unit == b.start.unit;
}

bool SameReading(const RecordReading &a, const RecordReading &b) {
    if (a.units.size() != b.units.size() || a.skipped.size() != b.skipped.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.units.size(); ++i) {
        if (a.units[i].record != b.units[i].record || a.units[i].line != b.units[i].line ||
            a.units[i].removed != b.units[i].removed) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.skipped.size(); ++i) {
        if (a.skipped[i].number != b.skipped[i].number ||
            a.skipped[i].reason != b.skipped[i].reason) {
            return false;
        }
    }
    return true;
}

// Every unit and skipped line of `text`, read with at most `window` waiting.
RecordReading ReadWithin(const std::string &text, RecordWindow window) {
    RecordReading reading;
    std::istringstream in(text);
    StreamRecordFile(
        in,
        {[&reading](RecordedUnit unit) { reading.units.push_back(std::move(unit)); },
         [&reading](const SkippedRecordLine &skipped) { reading.skipped.push_back(skipped); }},
        window);
    return reading;
}

void CheckWindow(const RecordReading &whole, const RecordReading &small,
                 const std::vector<std::string_view> &lines) {
    Require(SameReading({{}, whole.skipped}, {{}, small.skipped}));
    std::size_t at = 0;
    for (const RecordedUnit &unit : small.units) {
        if (at < whole.units.size() && whole.units[at].line == unit.line) {
            const RecordedUnit &kept = whole.units[at++];
            Require(unit.record == kept.record || (unit.Interrupted() && !kept.Interrupted()));
            Require(!unit.removed || unit.removed == kept.removed);
            continue;
        }
        const std::optional<RecordLine> line = LineAt(lines, unit.line);
        Require(line && line->event == RecordEvent::kEnd);
    }
    Require(at == whole.units.size());
}

void CheckUnits(const RecordReading &reading, const std::vector<std::string_view> &lines) {
    std::size_t previous = 0;
    for (const SkippedRecordLine &skipped : reading.skipped) {
        Require(skipped.number > previous && skipped.number <= lines.size());
        Require(!skipped.reason.empty());
        previous = skipped.number;
    }
    previous = 0;
    for (const RecordedUnit &unit : reading.units) {
        Require(unit.line > previous && unit.line <= lines.size());
        previous = unit.line;
        Require(std::none_of(reading.skipped.begin(), reading.skipped.end(),
                             [&unit](const auto &s) { return s.number == unit.line; }));
        const std::optional<RecordLine> first = LineAt(lines, unit.line);
        Require(first && first->event != RecordEvent::kRemoved);
        Require(SameUnit(first->record, unit.record));
        if (unit.Interrupted()) {
            Require(first->event == RecordEvent::kStart && first->record == unit.record);
        }
        const std::string written =
            unit.Interrupted() ? StartLine(unit.record) : EndLine(unit.record);
        std::string why;
        const std::optional<RecordLine> again = ParseRecordLine(written, why);
        Require(again && again->record == unit.record);
    }
}

void CheckTotals(const std::vector<RecordedUnit> &units) {
    const RecordTotals totals = TotalsOf(units);
    const VerdictCounts &all = totals.all;
    Require(all.units == static_cast<int>(units.size()));
    Require(all.units == all.passed + all.failed + all.stopped + all.interrupted);
    const auto counted = [&units](UnitVerdict verdict) {
        return std::count_if(units.begin(), units.end(), [verdict](const RecordedUnit &unit) {
            return VerdictOf(unit.record) == verdict;
        });
    };
    Require(all.passed == counted(UnitVerdict::kPassed) &&
            all.failed == counted(UnitVerdict::kFailed) &&
            all.stopped == counted(UnitVerdict::kStopped) &&
            all.interrupted == counted(UnitVerdict::kInterrupted));
    for (const RecordedUnit &unit : units) {
        Require(unit.Interrupted() == (VerdictOf(unit.record) == UnitVerdict::kInterrupted));
    }

    VerdictCounts stations;
    for (std::size_t i = 0; i < totals.stations.size(); ++i) {
        const VerdictCounts &c = totals.stations[i].second;
        Require(c.units > 0 && c.units == c.passed + c.failed + c.stopped + c.interrupted);
        for (std::size_t j = 0; j < i; ++j) {
            Require(totals.stations[j].first != totals.stations[i].first);
        }
        stations += c;
    }
    Require(stations.units == all.units && stations.passed == all.passed &&
            stations.failed == all.failed && stations.stopped == all.stopped &&
            stations.interrupted == all.interrupted);

    int results = 0;
    for (std::size_t i = 0; i < totals.results.size(); ++i) {
        const auto &[label, count] = totals.results[i];
        Require(count > 0);
        Require(label != "interrupted" || count == all.interrupted);
        for (std::size_t j = 0; j < i; ++j) {
            Require(totals.results[j].first != label);
        }
        results += count;
    }
    Require(results == all.units);
}

// A selection keeps the units in the order read, each one meeting every part of the filter.
void CheckSelection(const std::vector<RecordedUnit> &units, const UnitFilter &filter) {
    const std::vector<RecordedUnit> selected = SelectUnits(units, filter);
    std::size_t at = 0;
    for (const RecordedUnit &unit : selected) {
        while (at < units.size() && units[at].line != unit.line) {
            ++at;
        }
        Require(at < units.size() && units[at].record == unit.record);
        ++at;
        Require(!filter.station || OnePort(unit.record.start.station, *filter.station));
        Require(!filter.since || unit.record.start.started >= *filter.since);
        Require(!filter.failed_only || VerdictOf(unit.record) != UnitVerdict::kPassed);
    }
    if (!filter.station && !filter.since) {
        const auto passed = std::count_if(units.begin(), units.end(), [](const RecordedUnit &unit) {
            return VerdictOf(unit.record) == UnitVerdict::kPassed;
        });
        Require(selected.size() == (filter.failed_only ? units.size() - passed : units.size()));
    }
}

bool SameLastUnit(const std::optional<LastUnit> &a, const std::optional<LastUnit> &b) {
    if (!a || !b) {
        return !a && !b;
    }
    return a->unit == b->unit && a->started == b->started && a->unit_id == b->unit_id &&
           a->passed == b->passed && a->removed == b->removed;
}

// The last unit of a station, read from the end of the file in blocks of `block` bytes and in
// one block, must be the same; when the reader found units of that station, it is one of them.
void CheckLastUnit(const std::string &path, const RecordReading &reading, const std::string &host,
                   const std::string &station, std::size_t block) {
    const std::optional<LastUnit> last = FindLastUnit(path, host, station);
    Require(SameLastUnit(last, FindLastUnit(path, host, station, {block, 1ull << 40})));
    const auto of_station = [&](const RecordedUnit &unit) {
        return unit.record.constants.host == host && OnePort(unit.record.start.station, station);
    };
    if (std::none_of(reading.units.begin(), reading.units.end(), of_station)) {
        // At most a removal line named one of its units.
        Require(!last || (!last->passed && last->removed));
        return;
    }
    Require(last.has_value());
    Require(std::any_of(reading.units.begin(), reading.units.end(), [&](const RecordedUnit &u) {
        return of_station(u) && u.record.start.unit == last->unit &&
               u.record.start.started == last->started && u.record.start.unit_id == last->unit_id &&
               (VerdictOf(u.record) == UnitVerdict::kPassed) == last->passed;
    }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    static InputFile file;
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string_view> lines = LinesOf(text);

    std::istringstream in(text);
    const RecordReading reading = ReadRecordFile(in);
    std::istringstream again(text);
    Require(SameReading(reading, ReadRecordFile(again)));
    CheckUnits(reading, lines);
    CheckTotals(reading.units);
    // One to four units, or a few lines' bytes.
    const RecordReading small = ReadWithin(text, {1 + size % 4, 1 + size % 2048});
    CheckUnits(small, lines);
    CheckWindow(reading, small, lines);

    // Filters made of what the file holds: a station in other letter case, a unit's start time.
    UnitFilter filter;
    CheckSelection(reading.units, filter);
    filter.failed_only = true;
    CheckSelection(reading.units, filter);
    if (!reading.units.empty()) {
        const UnitRecord &middle = reading.units[reading.units.size() / 2].record;
        std::string station = middle.start.station;
        std::transform(station.begin(), station.end(), station.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
        filter.station = station;
        filter.since = middle.start.started;
        CheckSelection(reading.units, filter);
        filter.failed_only = false;
        CheckSelection(reading.units, filter);
    }

    // Blocks of 1 to 64 bytes, so that lines cross block boundaries at every place.
    const std::size_t block = 1 + size % 64;
    const std::string &path = file.Write(text);
    CheckLastUnit(path, reading, "", "COM3", block);
    if (!reading.units.empty()) {
        for (const RecordedUnit *unit : {&reading.units.front(), &reading.units.back()}) {
            CheckLastUnit(path, reading, unit->record.constants.host, unit->record.start.station,
                          block);
        }
    }
    return 0;
}
