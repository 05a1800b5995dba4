#include "bench_board.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/download_events.h"
#include "core/output_lines.h"
#include "core/port_name.h"
#include "progress_meter.h"
#include "station_board.h"

namespace dekvanto::cli {
namespace {

using State = BenchStationState::State;
using dekvanto::app::UnitVerdict;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kElapsedInterval = std::chrono::seconds(1);
constexpr const char *kCutOff = "the station's process ended before its unit did";

// "PASS", "FAIL" or "STOPPED" at the start of a unit's words.
std::optional<UnitVerdict> VerdictOfWords(std::string_view words) {
    for (const UnitVerdict verdict :
         {UnitVerdict::kPassed, UnitVerdict::kFailed, UnitVerdict::kStopped}) {
        const std::string_view word = dekvanto::app::VerdictWord(verdict);
        if (words.starts_with(word) && (words.size() == word.size() || words[word.size()] == ' ')) {
            return verdict;
        }
    }
    return std::nullopt;
}

std::string CountsText(const dekvanto::app::VerdictCounts &counts) {
    char text[160];
    const int length =
        std::snprintf(text, sizeof text, "%d unit%s: %d PASS, %d FAIL, %d STOPPED", counts.units,
                      counts.units == 1 ? "" : "s", counts.passed, counts.failed, counts.stopped);
    if (counts.interrupted > 0) {
        std::snprintf(text + length, sizeof text - length, ", %d INTERRUPTED", counts.interrupted);
    }
    return text;
}

// "<n> <rest>": the number, and the rest without its blank.
int NumberAndRest(const std::string &text, std::string &rest) {
    char *end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    rest = *end == ' ' ? std::string(end + 1) : std::string(end);
    return static_cast<int>(number);
}

// Port names as a scanner types them: letter case does not count.
bool SamePort(std::string_view a, std::string_view b) {
    return dekvanto::app::SamePortName(a, b);
}

// "COM" (any letter case) and digits.
bool LooksLikePort(std::string_view word) {
    return word.size() > 3 && SamePort(word.substr(0, 3), "COM") &&
           word.find_first_not_of("0123456789", 3) == std::string_view::npos;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return "";
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

}  // namespace

BenchBoard::BenchBoard(std::vector<BenchStationState> &stations, std::ostream &log, int columns,
                       std::ostream *events, std::optional<int> count, bool scan)
    : stations_(stations),
      log_(log),
      columns_(columns),
      events_(events),
      count_(count),
      scan_(scan) {}

void BenchBoard::Begin() {
    if (columns_ > 0) {
        DrawLiveLines(Clock::now());
    }
}

void BenchBoard::OnOutput(std::size_t station, std::string_view bytes, Clock::time_point now) {
    dekvanto::app::TakeCompleteLines(stations_[station].pending, bytes,
                                     [&](const std::string &line) { OnLine(station, line, now); });
}

void BenchBoard::OnLine(std::size_t index, const std::string &line, Clock::time_point now) {
    BenchStationState &station = stations_[index];
    const std::string tag = line.substr(0, 2);
    const std::string text = line.size() > 2 ? line.substr(2) : "";
    std::string rest;
    bool at_once = true;  // the state changed: redraw now
    if (tag == "P ") {
        std::sscanf(text.c_str(), "%d", &station.percent);
        at_once = false;
    } else if (tag == "L " || tag == "M ") {
        station.line = text;
        at_once = false;
    } else if (tag == "J ") {
        PassEvent(station, text);
        return;
    } else if (tag == "W ") {
        const bool phone = text.starts_with("phone");
        station.state = phone ? State::kWaitingForPhone : State::kWaitingForRemoval;
        if (phone) {
            station.unit_id.clear();
        }
    } else if (tag == "U ") {
        station.unit = NumberAndRest(text, station.unit_id);
        station.state = State::kFlashing;
        station.percent = 0;
        station.line.clear();
        station.unit_since = now;
    } else if (tag == "A ") {
        OnAsked(index);
        return;
    } else if (tag == "F ") {
        const int unit = NumberAndRest(text, rest);
        station.ended_unit = unit;
        if (const auto verdict = VerdictOfWords(rest)) {
            station.counts.Add(*verdict);
        }
        Permanent(station.port + " #" + std::to_string(unit) +
                  (station.unit_id.empty() ? "" : " " + station.unit_id) + " " + rest);
    } else if (tag == "E ") {
        Permanent(station.port + ": " + text);
    } else if (!line.empty()) {
        // Anything else a station says (a note of its own, a crash's last words) is kept.
        Permanent(station.port + ": " + line);
    }
    Redraw(now, at_once);
}

void BenchBoard::PassEvent(BenchStationState &station, const std::string &line) {
    using dekvanto::app::EventKind;
    const dekvanto::app::EventLineReading reading = dekvanto::app::ReadEventLine(line);
    if (events_ == nullptr || !reading.event) {
        return;
    }
    if (reading.event->kind == EventKind::kUnitStart) {
        station.unit_open = true;
        station.event_unit = reading.event->unit;
    } else if (reading.event->kind == EventKind::kUnitEnd) {
        station.unit_open = false;
    }
    *events_ << line << '\n' << std::flush;
}

void BenchBoard::OnAsked(std::size_t station) {
    if (count_ && units_given_ >= *count_) {
        CloseAllInputs();
        return;
    }
    ++units_given_;
    messages_.push_back({station, "G"});
    if (count_ && units_given_ == *count_) {
        CloseAllInputs();
    }
}

void BenchBoard::OnOwnInput(std::string_view bytes) {
    own_pending_.append(bytes);
    for (auto end = own_pending_.find('\n'); end != std::string::npos;
         end = own_pending_.find('\n')) {
        const std::string line = Trimmed(std::string_view(own_pending_).substr(0, end));
        own_pending_.erase(0, end + 1);
        if (line.empty() || OnControlLine(line)) {
            continue;
        }
        if (scan_) {
            OnScannedLine(line);
        } else {
            Permanent("not a control line: \"" + line +
                      "\" (a line reads \"stop COM<n>\" or \"start COM<n>\")");
        }
    }
}

// "stop COM<n>" or "start COM<n>" (any letter case); false for any other line.
bool BenchBoard::OnControlLine(const std::string &line) {
    const auto blank = line.find(' ');
    if (blank == std::string::npos) {
        return false;
    }
    const std::string word = line.substr(0, blank);
    const bool stop = SamePort(word, "stop");
    if (!stop && !SamePort(word, "start")) {
        return false;
    }
    const std::string port = Trimmed(std::string_view(line).substr(blank + 1));
    if (port.empty() || port.find(' ') != std::string::npos) {
        return false;
    }
    std::optional<std::size_t> target;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        if (SamePort(port, stations_[i].port)) {
            target = i;
        }
    }
    if (!target) {
        Permanent("no station " + port + " on this bench: \"" + line + "\"");
    } else if (stop) {
        StopStation(*target);
    } else {
        StartStation(*target);
    }
    Redraw(Clock::now(), true);
    return true;
}

void BenchBoard::StopStation(std::size_t index) {
    BenchStationState &station = stations_[index];
    if (station.state == State::kStopped || station.state == State::kEnded) {
        Permanent(station.port + ": not running");
    } else if (!station.stop_asked) {
        station.stop_asked = true;
        messages_.push_back({index, std::nullopt, StationMessage::Action::kStop});
    }
}

void BenchBoard::StartStation(std::size_t index) {
    BenchStationState &station = stations_[index];
    if (station.state != State::kStopped) {
        Permanent(station.port + (station.state == State::kEnded
                                      ? ": has ended and cannot start again"
                                      : ": is running"));
        return;
    }
    station.state = State::kStarting;
    station.input_open = true;
    station.status = kOtherFailure;
    // Its unit numbers go on after the last unit it began, so that no number is given twice.
    messages_.push_back({index, std::nullopt, StationMessage::Action::kStart, station.unit + 1});
    StationEvent(station, dekvanto::app::StationRun::kRunning);
}

bool BenchBoard::CanStartAgain() const {
    return !interrupted_ && own_input_open_ && !(count_ && units_given_ >= *count_);
}

bool BenchBoard::AnyStopped() const {
    for (const BenchStationState &station : stations_) {
        if (station.state == State::kStopped) {
            return true;
        }
    }
    return false;
}

// No stopped station can start again: each has ended for good.
void BenchBoard::EndStopped() {
    for (BenchStationState &station : stations_) {
        if (station.state == State::kStopped) {
            station.state = State::kEnded;
            StationEvent(station, dekvanto::app::StationRun::kEnded);
        }
    }
}

void BenchBoard::StationEvent(const BenchStationState &station, dekvanto::app::StationRun run) {
    if (events_ != nullptr) {
        *events_ << dekvanto::app::EventLine({.kind = dekvanto::app::EventKind::kStation,
                                              .station = station.port,
                                              .unit = station.unit + 1,
                                              .station_run = run})
                 << '\n'
                 << std::flush;
    }
}

void BenchBoard::OnScannedLine(const std::string &line) {
    const auto blank = line.find(' ');
    const std::string first = line.substr(0, blank);
    std::optional<std::size_t> target;
    std::string identifier = line;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        if (blank != std::string::npos && SamePort(first, stations_[i].port)) {
            target = i;
            identifier = Trimmed(std::string_view(line).substr(blank + 1));
        }
    }
    // With one station a bare identifier is its own; one behind another port's name is not.
    if (!target && stations_.size() == 1 && !LooksLikePort(first)) {
        target = 0;
    }
    if (!target || identifier.empty()) {
        Permanent("not for a station: \"" + line + "\" (a line reads \"COM<n> <identifier>\")");
    } else if (interrupted_ || (count_ && units_given_ >= *count_) ||
               !stations_[*target].input_open) {
        Permanent(stations_[*target].port + ": no more units: \"" + identifier +
                  "\" is not flashed");
    } else {
        ++units_given_;
        messages_.push_back({*target, "S " + identifier});
        if (count_ && units_given_ == *count_) {
            CloseAllInputs();
        }
    }
    Redraw(Clock::now(), true);
}

void BenchBoard::OnOwnInputEnded() {
    if (!own_pending_.empty()) {
        OnOwnInput("\n");
    }
    own_input_open_ = false;
    if (scan_) {
        CloseAllInputs();
    } else {
        EndStopped();
    }
}

void BenchBoard::OnInterrupt() {
    interrupted_ = true;
    CloseAllInputs();
}

void BenchBoard::CloseAllInputs() {
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        if (stations_[i].input_open) {
            stations_[i].input_open = false;
            messages_.push_back({i, std::nullopt});
        }
    }
    EndStopped();
}

void BenchBoard::OnNotStarted(std::size_t station, const std::string &why) {
    stations_[station].state = State::kEnded;
    stations_[station].input_open = false;
    Permanent(stations_[station].port + ": " + why);
    StationEvent(stations_[station], dekvanto::app::StationRun::kEnded);
}

void BenchBoard::OnStationEnded(std::size_t index, int status) {
    BenchStationState &station = stations_[index];
    if (station.state == State::kFlashing && station.unit > station.ended_unit) {
        station.counts.Add(UnitVerdict::kInterrupted);
        Permanent(station.port + " #" + std::to_string(station.unit) +
                  (station.unit_id.empty() ? "" : " " + station.unit_id) +
                  " INTERRUPTED: " + kCutOff);
    }
    // A station that the operator stopped before it could take the stop (its process had only
    // just begun) was still stopped, not broken.
    station.status = station.stop_asked && status == kOtherFailure ? kStopped : status;
    station.input_open = false;
    if (events_ != nullptr && station.unit_open) {
        station.unit_open = false;
        WriteCutUnitEnd(*events_, station.port, station.event_unit, false, station.status, 0,
                        kCutOff);
    }
    const bool stopped = station.stop_asked && CanStartAgain();
    station.stop_asked = false;
    station.state = stopped ? State::kStopped : State::kEnded;
    if (stopped) {
        Permanent(station.port + ": stopped; \"start " + station.port + "\" starts it again");
    }
    StationEvent(station,
                 stopped ? dekvanto::app::StationRun::kStopped : dekvanto::app::StationRun::kEnded);
}

void BenchBoard::Tick(Clock::time_point now) {
    if (columns_ > 0 && now - last_drawn_ >= kElapsedInterval) {
        Redraw(now, true);
    }
}

std::vector<StationMessage> BenchBoard::TakeMessages() {
    return std::exchange(messages_, {});
}

void BenchBoard::Permanent(const std::string &text) {
    if (columns_ > 0) {
        // Over the live lines, which are drawn again below it.
        log_ << "\x1b[" << stations_.size() << "A\r\x1b[J" << text << '\n';
        DrawLiveLines(Clock::now());
    } else {
        log_ << text << '\n' << std::flush;
    }
}

std::string BenchBoard::LiveLine(const BenchStationState &station, Clock::time_point now) const {
    char head[48];
    std::snprintf(head, sizeof head, "%-7s ", station.port.c_str());
    std::string text = head;
    const std::string unit =
        "#" + std::to_string(station.unit) + (station.unit_id.empty() ? "" : " " + station.unit_id);
    switch (station.state) {
        case State::kStarting:
            text += "starting";
            break;
        case State::kWaitingForPhone:
            text += "waiting for a phone";
            break;
        case State::kFlashing: {
            char progress[64];
            std::snprintf(
                progress, sizeof progress, " flashing %3d%% %s  ", station.percent,
                DurationText(std::chrono::duration<double>(now - station.unit_since).count())
                    .c_str());
            text += unit + progress + station.line;
            break;
        }
        case State::kWaitingForRemoval:
            text += unit + " done: remove the phone";
            break;
        case State::kStopped:
            text += "stopped";
            break;
        case State::kEnded:
            text += "ended";
            break;
    }
    if (text.size() > static_cast<std::size_t>(columns_ - 1)) {
        text.resize(static_cast<std::size_t>(columns_ - 1));
    }
    return text;
}

void BenchBoard::Redraw(Clock::time_point now, bool at_once) {
    if (columns_ <= 0 || (!at_once && now - last_drawn_ < kRedrawInterval)) {
        return;
    }
    log_ << "\x1b[" << stations_.size() << 'A';
    DrawLiveLines(now);
}

void BenchBoard::DrawLiveLines(Clock::time_point now) {
    for (const BenchStationState &station : stations_) {
        log_ << "\r\x1b[2K" << LiveLine(station, now) << '\n';
    }
    log_ << std::flush;
    last_drawn_ = now;
}

int BenchBoard::Finish() {
    Redraw(Clock::now(), true);
    dekvanto::app::VerdictCounts all;
    for (const BenchStationState &station : stations_) {
        all += station.counts;
    }
    log_ << "Totals: " << CountsText(all) << '\n';
    if (stations_.size() > 1) {
        for (const BenchStationState &station : stations_) {
            log_ << "  " << station.port << ": " << CountsText(station.counts) << '\n';
        }
    }
    log_ << std::flush;
    bool stopped = interrupted_;
    for (const BenchStationState &station : stations_) {
        if (station.status != kFinished && station.status != kStopped &&
            station.status != kUnitsFailed) {
            return station.status;
        }
        stopped = stopped || station.status == kStopped;
    }
    if (stopped) {
        return kStopped;
    }
    return all.failed > 0 ? kUnitsFailed : kFinished;
}

}  // namespace dekvanto::cli
