#include "core/bench/bench_control.h"

#include <algorithm>
#include <utility>

#include "core/bench/bench_rules.h"
#include "core/ports/port_name.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
namespace {

constexpr const char *kCutOff = "the station's process ended before its unit did";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The first word and the rest, blanks between them taken off.
std::pair<std::string_view, std::string_view> FirstWord(std::string_view line) {
    const auto blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        return {line, {}};
    }
    return {line.substr(0, blank), Trimmed(line.substr(blank))};
}

// "COM" in any letter case, then digits: a word the operator meant as a port, even one that names
// none ("COM0"), so that its line is refused rather than flashed as an identifier.
bool LooksLikePort(std::string_view word) {
    return word.size() > 3 && SameIgnoringCase(word.substr(0, 3), "COM") &&
           word.find_first_not_of("0123456789", 3) == std::string_view::npos;
}

}  // namespace

BenchControl::BenchControl(const std::vector<std::string> &ports, bool scan,
                           std::optional<long long> count)
    : state_(ports, scan), scan_(scan), count_(count) {
    for (const std::string &port : ports) {
        stations_.push_back(Station{.port = port});
    }
}

BenchActions BenchControl::Begin(BenchTime) {
    BenchActions actions;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        stations_[i].running = true;
        stations_[i].input_open = true;
        actions.push_back({.kind = BenchAction::Kind::kStart, .station = i, .first_unit = 1});
    }
    return actions;
}

void BenchControl::Emit(BenchActions &actions, DownloadEvent event, BenchTime time) {
    state_.Apply(event, time.now, time.wall);
    actions.push_back({.kind = BenchAction::Kind::kEvent, .event = std::move(event)});
}

BenchActions BenchControl::Emit(DownloadEvent event, BenchTime time) {
    BenchActions actions;
    Emit(actions, std::move(event), time);
    return actions;
}

void BenchControl::Notice(BenchActions &actions, const std::string &station,
                          const std::string &text, BenchTime time) {
    Emit(actions, {.kind = EventKind::kNotice, .station = station, .unit = 0, .text = text}, time);
}

BenchActions BenchControl::OnStationLine(std::size_t index, std::string_view line, BenchTime time) {
    BenchActions actions;
    Station &station = stations_.at(index);
    StationMessageReading reading = ReadStationMessage(line);
    if (!reading.message) {
        if (!Trimmed(line).empty()) {
            // What the process said outside its messages (a crash's last words) is kept as it is.
            Notice(actions, station.port, std::string(line), time);
        }
        return actions;
    }
    StationMessage &message = *reading.message;
    switch (message.kind) {
        case StationMessageKind::kEvent:
            // A station speaks only for itself.
            message.event.station = station.port;
            OnEvent(actions, index, std::move(message.event), time);
            break;
        case StationMessageKind::kAsk:
            station.asked = message.unit;
            HandOut(actions, index, time);
            break;
        case StationMessageKind::kError:
            station.error = message.text;
            break;
        case StationMessageKind::kSummary:
        case StationMessageKind::kGo:
            break;
    }
    return actions;
}

void BenchControl::OnEvent(BenchActions &actions, std::size_t index, DownloadEvent event,
                           BenchTime time) {
    Station &station = stations_[index];
    if (event.kind == EventKind::kUnitStart) {
        station.unit_open = true;
        station.next_unit = std::max(station.next_unit, event.unit + 1);
        station.handed.reset();
        if (event.unit_id) {
            Scanned &scanned = scanned_[*event.unit_id];
            scanned.station = index;
            scanned.unit = event.unit;
        }
    } else if (event.kind == EventKind::kUnitEnd) {
        station.unit_open = false;
        if (event.unit_id) {
            if (const auto found = scanned_.find(*event.unit_id); found != scanned_.end()) {
                found->second.open = false;
                found->second.passed = event.verdict == UnitVerdict::kPassed ||
                                       (!event.verdict && event.status == kFinished);
            }
        }
    } else if (event.kind == EventKind::kWaiting && event.waiting_for == WaitingFor::kPhone) {
        station.next_unit = std::max(station.next_unit, event.unit);
    }
    Emit(actions, std::move(event), time);
}

bool BenchControl::TakesUnits() const {
    return !interrupted_ && !(count_ && units_given_ >= *count_);
}

bool BenchControl::MoreScansCanCome() const {
    return TakesUnits() && own_input_open_;
}

bool BenchControl::CanStartAgain() const {
    return !interrupted_ && own_input_open_ && TakesUnits();
}

void BenchControl::HandOut(BenchActions &actions, std::size_t index, BenchTime time) {
    Station &station = stations_[index];
    if (!station.asked || !station.running || station.stop_asked || !station.input_open) {
        return;
    }
    if (!scan_) {
        if (!TakesUnits()) {
            CloseFinishedInputs(actions, time);
            return;
        }
        ++units_given_;
        station.asked.reset();
        actions.push_back({.kind = BenchAction::Kind::kSend,
                           .station = index,
                           .line = StationMessageLine({.kind = StationMessageKind::kGo})});
        if (!TakesUnits()) {
            CloseFinishedInputs(actions, time);
        }
        return;
    }
    if (station.identifiers.empty()) {
        CloseFinishedInputs(actions, time);
        return;
    }
    std::string id = std::move(station.identifiers.front());
    station.identifiers.pop_front();
    station.asked.reset();
    station.handed = id;
    Scan(actions, station.port, id, ScanState::kReady, std::nullopt, time);
    actions.push_back(
        {.kind = BenchAction::Kind::kSend,
         .station = index,
         .line = StationMessageLine({.kind = StationMessageKind::kGo, .unit_id = id})});
}

// Ends the input of each running station that can get no more units: without scanning once the
// bench takes none; with scanning once its own identifiers are used up and no more can come.
void BenchControl::CloseFinishedInputs(BenchActions &actions, BenchTime time) {
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        Station &station = stations_[i];
        const bool done =
            scan_ ? station.identifiers.empty() && !MoreScansCanCome() : !TakesUnits();
        if (station.input_open && (done || interrupted_)) {
            station.input_open = false;
            actions.push_back({.kind = BenchAction::Kind::kCloseInput, .station = i});
        }
    }
    if (!CanStartAgain()) {
        EndStopped(actions, time);
    }
}

void BenchControl::DropIdentifiers(BenchActions &actions, std::size_t index,
                                   const std::string &reason, BenchTime time) {
    Station &station = stations_[index];
    while (!station.identifiers.empty()) {
        const std::string id = std::move(station.identifiers.front());
        station.identifiers.pop_front();
        scanned_.erase(id);
        if (count_) {
            --units_given_;  // never flashed: it does not count
        }
        Scan(actions, station.port, id, ScanState::kDropped, reason, time);
    }
}

// No stopped station can start again: each has ended for good.
void BenchControl::EndStopped(BenchActions &actions, BenchTime time) {
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        Station &station = stations_[i];
        if (!station.running && !station.ended_for_good) {
            station.ended_for_good = true;
            DropIdentifiers(actions, i, station.port + " has ended", time);
            Emit(actions,
                 {.kind = EventKind::kStation,
                  .station = station.port,
                  .unit = station.next_unit,
                  .station_run = StationRun::kEnded,
                  .status = station.status},
                 time);
        }
    }
}

BenchActions BenchControl::OnNotStarted(std::size_t index, const std::string &why, BenchTime time) {
    Station &station = stations_.at(index);
    station.running = false;
    station.input_open = false;
    station.ended_for_good = true;
    station.status = kOtherFailure;
    BenchActions actions;
    DropIdentifiers(actions, index, station.port + " could not start", time);
    Emit(actions,
         {.kind = EventKind::kStation,
          .station = station.port,
          .unit = station.next_unit,
          .station_run = StationRun::kEnded,
          .status = kOtherFailure,
          .error = why},
         time);
    return actions;
}

BenchActions BenchControl::OnStationEnded(std::size_t index, int exit_status, BenchTime time) {
    Station &station = stations_.at(index);
    BenchActions actions;
    // A station that the operator stopped before it could take the stop (its process had only
    // just begun) was still stopped, not broken.
    station.status = station.stop_asked && exit_status == kOtherFailure ? kStopped : exit_status;
    if (station.unit_open) {
        const int unit = state_.Tiles()[index].unit;
        const std::string id = state_.Tiles()[index].unit_id;
        DownloadEvent cut{.kind = EventKind::kUnitEnd,
                          .station = station.port,
                          .unit = unit,
                          .status = station.status,
                          .error = kCutOff,
                          .verdict = UnitVerdict::kInterrupted,
                          .reason = kCutOff};
        if (!id.empty()) {
            cut.unit_id = id;
        }
        OnEvent(actions, index, std::move(cut), time);
    }
    const bool stopped = station.stop_asked && CanStartAgain();
    station.running = false;
    station.input_open = false;
    station.stop_asked = false;
    station.asked.reset();
    if (station.handed) {
        // Handed over but never begun: it waits for the station's next run.
        station.identifiers.push_front(std::move(*station.handed));
        station.handed.reset();
    }
    station.ended_for_good = !stopped;
    if (!stopped) {
        DropIdentifiers(actions, index, station.port + " has ended", time);
    }
    DownloadEvent event{.kind = EventKind::kStation,
                        .station = station.port,
                        .unit = station.next_unit,
                        .station_run = stopped ? StationRun::kStopped : StationRun::kEnded,
                        .status = station.status};
    if (!station.error.empty()) {
        event.error = std::exchange(station.error, {});
    }
    Emit(actions, std::move(event), time);
    return actions;
}

BenchActions BenchControl::OnOwnLine(std::string_view text, BenchTime time) {
    BenchActions actions;
    const std::string_view line = Trimmed(text);
    if (line.empty() || OnControlLine(actions, line, time)) {
        return actions;
    }
    if (scan_) {
        OnScannedLine(actions, line, time);
    } else {
        Notice(actions, "",
               "not a control line: \"" + std::string(line) +
                   "\" (a line reads \"stop COM<n>\" or \"start COM<n>\")",
               time);
    }
    return actions;
}

// "stop COM<n>" or "start COM<n>" (any letter case). True for every line whose first word is
// stop or start: one that is not such a line is refused here, never flashed as an identifier.
bool BenchControl::OnControlLine(BenchActions &actions, std::string_view line, BenchTime time) {
    const auto [word, rest] = FirstWord(line);
    const bool stop = SameIgnoringCase(word, "stop");
    if (!stop && !SameIgnoringCase(word, "start")) {
        return false;
    }
    const std::optional<std::size_t> target =
        rest.find_first_of(" \t") == std::string_view::npos ? state_.StationOf(rest) : std::nullopt;
    if (!target) {
        Notice(actions, "",
               "not a control line: \"" + std::string(line) + "\" (a line reads \"" +
                   std::string(stop ? "stop" : "start") + " COM<n>\" with a port of this bench)",
               time);
        return true;
    }
    Station &station = stations_[*target];
    if (stop) {
        if (!station.running) {
            Notice(actions, station.port, "not running", time);
        } else if (!station.stop_asked) {
            station.stop_asked = true;
            actions.push_back({.kind = BenchAction::Kind::kStop, .station = *target});
        }
        return true;
    }
    if (station.running) {
        Notice(actions, station.port, "is running", time);
    } else if (station.ended_for_good) {
        Notice(actions, station.port, "has ended and cannot start again", time);
    } else {
        station.running = true;
        station.input_open = true;
        station.status = kOtherFailure;
        // Its unit numbers go on after the last unit it began, so that no number is given twice.
        actions.push_back({.kind = BenchAction::Kind::kStart,
                           .station = *target,
                           .first_unit = station.next_unit});
        Emit(actions,
             {.kind = EventKind::kStation,
              .station = station.port,
              .unit = station.next_unit,
              .station_run = StationRun::kRunning},
             time);
    }
    return true;
}

void BenchControl::Scan(BenchActions &actions, const std::string &station, const std::string &id,
                        ScanState state, std::optional<std::string> reason, BenchTime time) {
    Emit(actions,
         {.kind = EventKind::kScan,
          .station = station,
          .unit = 0,
          .unit_id = id,
          .reason = std::move(reason),
          .scan_state = state},
         time);
}

std::optional<std::string> BenchControl::Duplicate(const std::string &id) const {
    const auto found = scanned_.find(id);
    if (found == scanned_.end()) {
        return std::nullopt;
    }
    const Scanned &scanned = found->second;
    const std::string &port = stations_[scanned.station].port;
    if (scanned.open) {
        return "already scanned for " + port + " on this bench";
    }
    if (scanned.passed) {
        return "already flashed on this bench (" + port + " #" + std::to_string(scanned.unit) +
               " PASS)";
    }
    return std::nullopt;  // its unit did not pass: a retest
}

void BenchControl::OnScannedLine(BenchActions &actions, std::string_view line, BenchTime time) {
    const auto [first, rest] = FirstWord(line);
    std::optional<std::size_t> target = rest.empty() ? std::nullopt : state_.StationOf(first);
    std::string_view id = target ? rest : line;
    if (!target) {
        if (stations_.size() == 1 && !LooksLikePort(first)) {
            target = 0;  // with one station a bare identifier is its own
        } else {
            Scan(actions, "", std::string(line), ScanState::kRefused,
                 LooksLikePort(first) ? "no station " + std::string(first) + " on this bench"
                                      : "not for a station (a line reads \"COM<n> "
                                        "<identifier>\")",
                 time);
            return;
        }
    }
    Station &station = stations_[*target];
    const std::string identifier(id);
    std::optional<std::string> refused = IdentifierProblem(identifier);
    if (!refused) {
        refused = Duplicate(identifier);
    }
    if (!refused && !TakesUnits()) {
        refused = interrupted_ ? "the bench is stopping: no more units"
                               : "the bench's count of units is reached: no more units";
    }
    if (!refused && !station.running) {
        refused = station.ended_for_good
                      ? station.port + " has ended: no more units"
                      : station.port + " is stopped; \"start " + station.port + "\" first";
    }
    if (!refused && station.identifiers.size() >= kMaxWaitingIdentifiers) {
        refused = std::to_string(kMaxWaitingIdentifiers) + " identifiers already wait for " +
                  station.port;
    }
    if (refused) {
        Scan(actions, station.port, std::string(CutText(identifier, kMaxIdentifierBytes)),
             ScanState::kRefused, *refused, time);
        return;
    }
    ++units_given_;
    scanned_[identifier] = Scanned{.station = *target};
    station.identifiers.push_back(identifier);
    Scan(actions, station.port, identifier, ScanState::kQueued, std::nullopt, time);
    HandOut(actions, *target, time);
    if (!TakesUnits()) {
        CloseFinishedInputs(actions, time);
    }
}

BenchActions BenchControl::OnOwnInputEnded(BenchTime time) {
    own_input_open_ = false;
    BenchActions actions;
    if (scan_) {
        CloseFinishedInputs(actions, time);
    } else {
        EndStopped(actions, time);
    }
    return actions;
}

BenchActions BenchControl::OnInterrupt(BenchTime time) {
    interrupted_ = true;
    BenchActions actions;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        DropIdentifiers(actions, i, "the bench was stopped", time);
    }
    CloseFinishedInputs(actions, time);
    return actions;
}

bool BenchControl::Running() const {
    return std::any_of(stations_.begin(), stations_.end(), [](const Station &station) {
        return station.running || !station.ended_for_good;
    });
}

BenchActions BenchControl::Finish(BenchTime time, int &exit_status) {
    BenchActions actions;
    std::vector<int> statuses;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        DropIdentifiers(actions, i, "the bench has ended", time);
        statuses.push_back(stations_[i].status);
    }
    exit_status = BenchExitStatus(statuses, interrupted_, state_.Totals());
    return actions;
}

std::optional<std::string> ScanLineFor(std::string_view typed, const std::string &chosen_port,
                                       const std::vector<std::string> &ports) {
    const std::string_view line = Trimmed(typed);
    if (line.empty()) {
        return std::nullopt;
    }
    const auto [first, rest] = FirstWord(line);
    const bool named = !rest.empty() && std::any_of(ports.begin(), ports.end(), [&](const auto &p) {
        return platform::PortName::NamesOfOnePort(p, first);
    });
    if (named || ports.size() == 1) {
        return std::string(line);
    }
    return chosen_port + " " + std::string(line);
}

}  // namespace dekvanto::core
