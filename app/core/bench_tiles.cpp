#include "core/bench_tiles.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>

#include "core/output_lines.h"
#include "core/path_text.h"
#include "core/port_name.h"
#include "core/unit_result.h"

namespace dekvanto::app {
namespace {

constexpr std::string_view kDownloadPrefix = "Download ";
constexpr std::string_view kStationField = "\"station\":\"";

std::string TimeOfDay(std::chrono::system_clock::time_point wall) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// The files in the order the log named them: the loader first, then the code file and the
// personalization file as far as they are sent. The paths are taken from the log itself, so the
// stage is found however the bench was given them.
StagePaths PathsOfLog(const std::vector<std::string> &log, const TileWording &wording) {
    std::vector<std::string> named;
    for (const std::string &line : log) {
        if (line.starts_with(kDownloadPrefix) && !line.starts_with("Download :")) {
            named.push_back(line.substr(kDownloadPrefix.size()));
        }
    }
    StagePaths paths;
    std::size_t next = 0;
    auto take = [&](std::string &path) {
        if (next < named.size()) {
            path = named[next++];
        }
    };
    take(paths.loader);
    if (wording.code_sent) {
        take(paths.code);
    }
    if (wording.perso_sent) {
        take(paths.perso);
    }
    return paths;
}

UnitVerdict VerdictOfStatus(int status) {
    // The exit statuses of a unit: 0 finished, 3 stopped, any other a failure.
    if (status == 0) {
        return UnitVerdict::kPassed;
    }
    return status == 3 ? UnitVerdict::kStopped : UnitVerdict::kFailed;
}

}  // namespace

BenchTiles::BenchTiles(const std::vector<std::string> &ports, TileWording wording,
                       Clock::time_point started)
    : unit_lines_(ports.size()),
      scanned_(ports.size()),
      in_unit_(ports.size(), false),
      wording_(wording),
      started_(started) {
    for (const std::string &port : ports) {
        tiles_.push_back(StationTile{.port = port});
    }
}

void BenchTiles::SetDevice(std::size_t station, std::string device) {
    tiles_.at(station).device = std::move(device);
}

std::optional<std::size_t> BenchTiles::StationOf(std::string_view port) const {
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        if (SamePortName(tiles_[i].port, port)) {
            return i;
        }
    }
    return std::nullopt;
}

void BenchTiles::OnEvents(std::string_view bytes, Clock::time_point now,
                          std::chrono::system_clock::time_point wall) {
    TakeCompleteLines(events_pending_, bytes,
                      [&](const std::string &line) { OnLine(line, now, wall); });
}

void BenchTiles::OnLine(std::string_view line, Clock::time_point now,
                        std::chrono::system_clock::time_point wall) {
    if (line.empty()) {
        return;
    }
    const EventLineReading reading = ReadEventLine(line);
    if (reading.problem == EventLineProblem::kUnknownKind) {
        return;
    }
    if (!reading.event) {
        const char *what = reading.problem == EventLineProblem::kTruncated
                               ? "An event line was cut off: "
                               : "An unreadable event line: ";
        StationError(line, what + reading.reason);
        return;
    }
    const std::optional<std::size_t> station = StationOf(reading.event->station);
    if (!station) {
        bench_lines_.push_back("Events of a station that is not on the bench: " +
                               reading.event->station);
        return;
    }
    OnEvent(tiles_[*station], *reading.event, now, wall);
}

// The station the raw line names in its "station" field, or the only one; else the bench's.
void BenchTiles::StationError(std::string_view line, const std::string &error) {
    std::optional<std::size_t> station;
    if (const auto at = line.find(kStationField); at != std::string_view::npos) {
        const std::string_view rest = line.substr(at + kStationField.size());
        station = StationOf(rest.substr(0, rest.find('"')));
    }
    if (!station && tiles_.size() == 1) {
        station = 0;
    }
    if (station) {
        tiles_[*station].error = error;
    } else {
        bench_lines_.push_back(error);
    }
}

void BenchTiles::OnEvent(StationTile &tile, const DownloadEvent &event, Clock::time_point now,
                         std::chrono::system_clock::time_point wall) {
    const std::size_t index = static_cast<std::size_t>(&tile - tiles_.data());
    switch (event.kind) {
        case EventKind::kWaiting:
            tile.state = event.waiting_for == WaitingFor::kPhone ? TileState::kWaitingForPhone
                                                                 : TileState::kWaitingForRemoval;
            tile.unit = event.unit;
            break;
        case EventKind::kUnitStart:
            tile.state = TileState::kFlashing;
            tile.unit = event.unit;
            tile.unit_id.clear();
            if (!scanned_[index].empty()) {
                tile.unit_id = std::move(scanned_[index].front());
                scanned_[index].pop_front();
            }
            tile.phase.clear();
            tile.prompt.clear();
            tile.percent = 0;
            tile.bytes = 0;
            tile.unit_since = now;
            unit_lines_[index].clear();
            in_unit_[index] = true;
            break;
        case EventKind::kPhase:
            tile.phase = event.text;
            unit_lines_[index].push_back(event.text);
            break;
        case EventKind::kProgress:
            tile.percent = event.percent;
            tile.bytes = event.bytes;
            break;
        case EventKind::kPrompt:
        case EventKind::kMessage:
            tile.prompt = event.text;
            break;
        case EventKind::kUnitEnd:
            if (!in_unit_[index]) {
                // An end without its start: the unit's number is all there is to go by.
                tile.unit = event.unit;
            }
            EndUnit(tile, Shown(tile, event), wall);
            break;
        case EventKind::kStation:
            tile.unit = event.unit;
            tile.state = event.station_run == StationRun::kRunning   ? TileState::kStarting
                         : event.station_run == StationRun::kStopped ? TileState::kStopped
                                                                     : TileState::kEnded;
            break;
    }
}

UnitShown BenchTiles::Shown(const StationTile &tile, const DownloadEvent &end) const {
    const std::size_t index = static_cast<std::size_t>(&tile - tiles_.data());
    UnitShown shown{.unit = tile.unit,
                    .unit_id = tile.unit_id,
                    .verdict = VerdictOfStatus(end.status),
                    .seconds = end.seconds};
    if (shown.verdict == UnitVerdict::kFailed && end.error) {
        // A refused unit or a failed port: the line vanto printed says why.
        shown.words = "FAIL " + *end.error;
        return shown;
    }
    DownloadOutcome outcome;
    outcome.status = shown.verdict == UnitVerdict::kPassed    ? OutcomeClass::kFinished
                     : shown.verdict == UnitVerdict::kStopped ? OutcomeClass::kStopped
                                                              : OutcomeClass::kOtherFailure;
    if (end.result) {
        outcome.result = static_cast<unsigned char>(*end.result);
    }
    outcome.lines = unit_lines_[index];
    outcome.bytes = end.bytes;
    outcome.seconds = end.seconds;
    shown.words =
        UnitResultText(outcome, StageOf(outcome.lines, PathsOfLog(outcome.lines, wording_)),
                       wording_.acknowledged);
    return shown;
}

void BenchTiles::EndUnit(StationTile &tile, UnitShown shown,
                         std::chrono::system_clock::time_point wall) {
    const std::size_t index = static_cast<std::size_t>(&tile - tiles_.data());
    tile.counts.Add(shown.verdict);
    tile.state = TileState::kUnitEnded;
    tile.prompt.clear();
    tile.last = shown;
    in_unit_[index] = false;
    rows_.push_back(
        UnitRow{.time = TimeOfDay(wall), .station = tile.port, .unit = std::move(shown)});
    if (rows_.size() > kMaxRows) {
        rows_.pop_front();
    }
}

void BenchTiles::OnLog(std::string_view bytes) {
    TakeCompleteLines(log_pending_, bytes, [&](const std::string &line) {
        if (line.empty()) {
            return;
        }
        // "COM3: <text>" is the station's; "COM3 #12 PASS 57.1 s" the events already told.
        const auto colon = line.find(": ");
        const auto station = colon == std::string::npos
                                 ? std::nullopt
                                 : StationOf(std::string_view(line).substr(0, colon));
        if (station) {
            tiles_[*station].error = line.substr(colon + 2);
        } else if (!(line.find(" #") != std::string::npos &&
                     StationOf(std::string_view(line).substr(0, line.find(" #"))))) {
            bench_lines_.push_back(line);
        }
    });
}

void BenchTiles::OnScanned(std::size_t station, std::string identifier) {
    scanned_.at(station).push_back(std::move(identifier));
}

void BenchTiles::OnBenchEnded(std::optional<int> exit_status, Clock::time_point now,
                              std::chrono::system_clock::time_point wall) {
    if (!events_pending_.empty()) {
        // The bench's last line without its line end: cut off as it ended.
        OnEvents("\n", now, wall);
    }
    if (!log_pending_.empty()) {
        OnLog("\n");
    }
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        StationTile &tile = tiles_[i];
        if (in_unit_[i]) {
            const double seconds = std::chrono::duration<double>(now - tile.unit_since).count();
            EndUnit(tile,
                    UnitShown{.unit = tile.unit,
                              .unit_id = tile.unit_id,
                              .verdict = UnitVerdict::kFailed,
                              .words = "FAIL the bench ended during the unit",
                              .seconds = std::round(seconds * 10) / 10},
                    wall);
        }
        tile.state = TileState::kEnded;
    }
    bench_lines_.push_back(BenchEndWords(exit_status));
    ended_ = true;
}

std::optional<BenchTiles::ScanRouting> BenchTiles::RouteScan(std::string_view typed,
                                                             std::size_t chosen) const {
    const auto first = typed.find_first_not_of(" \t");
    if (first == std::string_view::npos || tiles_.empty()) {
        return std::nullopt;
    }
    typed = typed.substr(first, typed.find_last_not_of(" \t") - first + 1);
    ScanRouting routing;
    const auto blank = typed.find(' ');
    const std::optional<std::size_t> named =
        blank == std::string_view::npos ? std::nullopt : StationOf(typed.substr(0, blank));
    if (named) {
        const std::string_view rest = typed.substr(blank + 1);
        routing.station = *named;
        routing.identifier = std::string(rest.substr(rest.find_first_not_of(' ')));
    } else {
        routing.station = std::min(chosen, tiles_.size() - 1);
        routing.identifier = std::string(typed);
    }
    routing.bench_line = tiles_.size() > 1 ? tiles_[routing.station].port + " " + routing.identifier
                                           : routing.identifier;
    return routing;
}

VerdictCounts BenchTiles::Totals() const {
    VerdictCounts all;
    for (const StationTile &tile : tiles_) {
        all += tile.counts;
    }
    return all;
}

double BenchTiles::UnitsPerHour(std::optional<std::size_t> station, Clock::time_point now) const {
    const double hours = std::chrono::duration<double, std::ratio<3600>>(now - started_).count();
    const int units = station ? tiles_.at(*station).counts.units : Totals().units;
    return hours > 0 ? units / hours : 0;
}

std::string BenchTiles::RowsText() const {
    std::string text;
    for (const UnitRow &row : rows_) {
        text += row.time + '\t' + row.station + '\t' + std::to_string(row.unit.unit) + '\t' +
                row.unit.unit_id + '\t' + row.unit.words + '\n';
    }
    return text;
}

std::string DeviceWords(const RecordDevice &device) {
    std::string words = device.path;
    auto add = [&words](const std::string &word) { words += words.empty() ? word : ", " + word; };
    if (device.usb_product) {
        add(*device.usb_product);
    }
    if (device.usb_serial) {
        add("serial " + *device.usb_serial);
    }
    return words;
}

std::string BenchEndWords(std::optional<int> exit_status) {
    if (!exit_status) {
        return "The bench program ended unexpectedly";
    }
    switch (*exit_status) {
        case 0:
            return "Every unit passed";
        case 3:
            return "Stopped";
        case 9:
            return "Some units failed";
        default:
            return "The bench could not go on (status " + std::to_string(*exit_status) + ")";
    }
}

std::string TileStateWords(const StationTile &tile) {
    switch (tile.state) {
        case TileState::kStarting:
            return "Starting";
        case TileState::kWaitingForPhone:
            return "Waiting for a phone";
        case TileState::kFlashing:
            if (!tile.prompt.empty()) {
                return tile.prompt;
            }
            if (tile.phase.starts_with(kDownloadPrefix) && !tile.phase.starts_with("Download :")) {
                // The file's name says which file; its folder only makes the line long.
                const std::string_view path =
                    std::string_view(tile.phase).substr(kDownloadPrefix.size());
                std::size_t name = path.size();
                while (name > 0 && !IsPathSeparator(path[name - 1])) {
                    --name;
                }
                return std::string(kDownloadPrefix) + std::string(path.substr(name));
            }
            return tile.phase.empty() ? "Flashing" : tile.phase;
        case TileState::kUnitEnded:
            return "Unit ended";
        case TileState::kWaitingForRemoval:
            return "Remove the phone";
        case TileState::kStopped:
            return "Stopped";
        case TileState::kEnded:
            return "Ended";
    }
    return "";
}

double TileSeconds(const StationTile &tile, std::chrono::steady_clock::time_point now) {
    if (tile.state == TileState::kFlashing) {
        return std::chrono::duration<double>(now - tile.unit_since).count();
    }
    return tile.last ? tile.last->seconds : 0;
}

std::string TileSpoken(const StationTile &tile, std::chrono::steady_clock::time_point now) {
    const auto seconds = std::to_string(std::lround(TileSeconds(tile, now))) + " seconds";
    std::string spoken = tile.port + ": ";
    if (tile.state == TileState::kFlashing) {
        spoken += "unit " + std::to_string(tile.unit) + ", " + TileStateWords(tile) + ", " +
                  std::to_string(tile.percent) + " percent, " + seconds;
    } else if (tile.last) {
        spoken += std::string(VerdictWord(tile.last->verdict)) + ", " + seconds;
        if (const auto blank = tile.last->words.find(' ');
            tile.last->verdict == UnitVerdict::kFailed && blank != std::string::npos) {
            spoken += ", " + tile.last->words.substr(blank + 1);
        }
        spoken += ", " + TileStateWords(tile);
    } else {
        spoken += TileStateWords(tile);
    }
    if (!tile.error.empty()) {
        spoken += ", error: " + tile.error;
    }
    return spoken;
}

}  // namespace dekvanto::app
