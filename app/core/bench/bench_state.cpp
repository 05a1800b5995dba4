#include "core/bench/bench_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

#include "core/download/exit_status.h"
#include "core/settings/path_text.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
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

// A unit-end from a bench that did not give its verdict: its status tells it.
UnitVerdict VerdictOfEnd(const DownloadEvent &end) {
    return end.verdict ? *end.verdict : VerdictOfClass(OutcomeOfExitStatus(end.status));
}

std::string ReasonOfEnd(const DownloadEvent &end, UnitVerdict verdict) {
    if (end.reason) {
        return *end.reason;
    }
    if (verdict == UnitVerdict::kPassed || verdict == UnitVerdict::kStopped) {
        return "";
    }
    return end.error ? *end.error : "status " + std::to_string(end.status);
}

std::string OneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string UnitName(const DownloadEvent &event) {
    return event.station + " #" + std::to_string(event.unit) +
           (event.unit_id ? " " + *event.unit_id : "");
}

}  // namespace

BenchState::BenchState(const std::vector<std::string> &ports, bool scan)
    : in_unit_(ports.size(), false), scan_(scan), untagged_(ports.size()) {
    for (const std::string &port : ports) {
        tiles_.push_back(StationTile{.port = port});
    }
}

void BenchState::SetDevice(std::size_t station, std::string device) {
    tiles_.at(station).device = std::move(device);
}

std::optional<std::size_t> BenchState::StationOf(std::string_view port) const {
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        if (platform::PortName::NamesOfOnePort(tiles_[i].port, port)) {
            return i;
        }
    }
    return std::nullopt;
}

void BenchState::Apply(const DownloadEvent &event, Clock::time_point now,
                       std::chrono::system_clock::time_point wall) {
    if (event.kind == EventKind::kNotice) {
        Notice(*OperatorLine(event));
        return;
    }
    if (event.kind == EventKind::kScan) {
        OnScan(event);
        return;
    }
    const std::optional<std::size_t> station = StationOf(event.station);
    if (!station) {
        Notice("Events of a station that is not on the bench: " + event.station);
        return;
    }
    OnStationEvent(tiles_[*station], event, now, wall);
}

void BenchState::OnStationEvent(StationTile &tile, const DownloadEvent &event,
                                Clock::time_point now, std::chrono::system_clock::time_point wall) {
    const std::size_t index = static_cast<std::size_t>(&tile - tiles_.data());
    switch (event.kind) {
        case EventKind::kWaiting:
            tile.state = event.waiting_for == WaitingFor::kPhone ? TileState::kWaitingForPhone
                                                                 : TileState::kWaitingForRemoval;
            tile.unit = event.unit;
            if (event.waiting_for == WaitingFor::kPhone && !in_unit_[index]) {
                tile.unit_id.clear();
            }
            break;
        case EventKind::kUnitStart:
            tile.state = TileState::kFlashing;
            tile.unit = event.unit;
            tile.unit_id = event.unit_id.value_or("");
            tile.phase.clear();
            tile.prompt.clear();
            tile.percent = 0;
            tile.bytes = 0;
            tile.unit_since = now;
            if (tile.last_start) {
                tile.cycle_seconds += std::chrono::duration<double>(now - *tile.last_start).count();
                ++tile.cycles;
            }
            tile.last_start = now;
            in_unit_[index] = true;
            break;
        case EventKind::kPhase:
            tile.phase = event.text;
            break;
        case EventKind::kProgress:
            tile.percent = event.percent;
            tile.bytes = event.bytes;
            break;
        case EventKind::kPrompt:
        case EventKind::kMessage:
            tile.prompt = event.text;
            break;
        case EventKind::kUnitEnd: {
            const UnitVerdict verdict = VerdictOfEnd(event);
            UnitShown shown{.unit = event.unit,
                            .unit_id = event.unit_id.value_or(in_unit_[index] ? tile.unit_id : ""),
                            .verdict = verdict,
                            .reason = ReasonOfEnd(event, verdict),
                            .seconds = event.seconds};
            shown.words = UnitWords(verdict, shown.seconds, shown.reason);
            tile.unit = event.unit;
            EndUnit(tile, std::move(shown), wall);
            break;
        }
        case EventKind::kStation:
            tile.unit = event.unit;
            switch (event.station_run) {
                case StationRun::kRunning:
                    tile.state = TileState::kStarting;
                    tile.error.clear();
                    break;
                case StationRun::kStopped:
                    tile.state = TileState::kStopped;
                    break;
                case StationRun::kEnded:
                    tile.state = TileState::kEnded;
                    break;
            }
            if (event.station_run != StationRun::kRunning && event.error) {
                tile.error = *event.error;
            }
            if (event.station_run != StationRun::kRunning) {
                tile.unit_id.clear();
            }
            break;
        case EventKind::kScan:
        case EventKind::kNotice:
            break;
    }
}

void BenchState::OnScan(const DownloadEvent &event) {
    const std::string id = event.unit_id.value_or("");
    const std::optional<std::size_t> station = StationOf(event.station);
    if (station) {
        StationTile &tile = tiles_[*station];
        auto &waiting = tile.waiting_ids;
        switch (event.scan_state) {
            case ScanState::kQueued:
                waiting.push_back(id);
                break;
            case ScanState::kReady:
            case ScanState::kDropped: {
                const auto at = std::find(waiting.begin(), waiting.end(), id);
                if (at != waiting.end()) {
                    waiting.erase(at);
                }
                if (event.scan_state == ScanState::kReady) {
                    tile.unit_id = id;
                } else if (tile.unit_id == id && tile.state != TileState::kFlashing) {
                    tile.unit_id.clear();
                }
                break;
            }
            case ScanState::kRefused:
                break;
        }
    }
    if (const std::optional<std::string> line = OperatorLine(event)) {
        Notice(*line);
    }
}

void BenchState::EndUnit(StationTile &tile, UnitShown shown,
                         std::chrono::system_clock::time_point wall) {
    const std::size_t index = static_cast<std::size_t>(&tile - tiles_.data());
    tile.counts.Add(shown.verdict);
    tile.state = TileState::kUnitEnded;
    tile.prompt.clear();
    in_unit_[index] = false;
    if (shown.verdict != UnitVerdict::kStopped) {
        const bool passed = shown.verdict == UnitVerdict::kPassed;
        if (shown.unit_id.empty()) {
            untagged_[index].Add(shown.verdict);
        } else if (std::none_of(first_tries_.begin(), first_tries_.end(),
                                [&](const FirstTry &t) { return t.unit_id == shown.unit_id; })) {
            first_tries_.push_back({shown.unit_id, index, passed});
        }
    }
    tile.last = shown;
    rows_.push_back(
        UnitRow{.time = TimeOfDay(wall), .station = tile.port, .unit = std::move(shown)});
    if (rows_.size() > kMaxRows) {
        rows_.pop_front();
    }
}

void BenchState::Notice(std::string text) {
    notices_.push_back(std::move(text));
    if (notices_.size() > kMaxNotices) {
        notices_.pop_front();
    }
}

void BenchState::OnBrokenLine(std::string_view line, const std::string &problem) {
    std::optional<std::size_t> station;
    if (const auto at = line.find(kStationField); at != std::string_view::npos) {
        const std::string_view rest = line.substr(at + kStationField.size());
        station = StationOf(rest.substr(0, rest.find('"')));
    }
    if (!station && tiles_.size() == 1) {
        station = 0;
    }
    if (station) {
        tiles_[*station].error = problem;
    } else {
        Notice(problem);
    }
}

void BenchState::OnBenchEnded(std::optional<int> exit_status, Clock::time_point now,
                              std::chrono::system_clock::time_point wall) {
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        StationTile &tile = tiles_[i];
        if (in_unit_[i]) {
            const double seconds = std::chrono::duration<double>(now - tile.unit_since).count();
            UnitShown shown{.unit = tile.unit,
                            .unit_id = tile.unit_id,
                            .verdict = UnitVerdict::kInterrupted,
                            .reason = "the bench ended during the unit",
                            .seconds = std::round(seconds * 10) / 10};
            shown.words = UnitWords(shown.verdict, shown.seconds, shown.reason);
            EndUnit(tile, std::move(shown), wall);
        }
        tile.state = TileState::kEnded;
        tile.waiting_ids.clear();
    }
    Notice(BenchEndWords(exit_status));
    ended_ = true;
}

VerdictCounts BenchState::Totals() const {
    VerdictCounts all;
    for (const StationTile &tile : tiles_) {
        all += tile.counts;
    }
    return all;
}

std::optional<double> BenchState::FirstPassYield(std::optional<std::size_t> station) const {
    int tries = 0;
    int passed = 0;
    for (std::size_t i = 0; i < untagged_.size(); ++i) {
        if (!station || *station == i) {
            tries += untagged_[i].units;
            passed += untagged_[i].passed;
        }
    }
    for (const FirstTry &first : first_tries_) {
        if (!station || *station == first.station) {
            ++tries;
            passed += first.passed ? 1 : 0;
        }
    }
    if (tries == 0) {
        return std::nullopt;
    }
    return static_cast<double>(passed) / tries;
}

std::optional<double> BenchState::UnitsPerHour(std::optional<std::size_t> station) const {
    double per_hour = 0;
    bool known = false;
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        const StationTile &tile = tiles_[i];
        if ((!station || *station == i) && tile.cycles > 0 && tile.cycle_seconds > 0) {
            per_hour += 3600.0 * tile.cycles / tile.cycle_seconds;
            known = true;
        }
    }
    return known ? std::optional<double>(per_hour) : std::nullopt;
}

std::string BenchState::RowsText() const {
    std::string text;
    // Each cell is spreadsheet-safe: a scanned identifier cannot become a formula, and a tab or
    // line break inside it cannot shift the columns.
    for (const UnitRow &row : rows_) {
        text += SpreadsheetText(row.time) + '\t' + SpreadsheetText(row.station) + '\t' +
                std::to_string(row.unit.unit) + '\t' + SpreadsheetText(row.unit.unit_id) + '\t' +
                SpreadsheetText(row.unit.words) + '\n';
    }
    return text;
}

std::string UnitWords(UnitVerdict verdict, double seconds, const std::string &reason) {
    switch (verdict) {
        case UnitVerdict::kPassed:
            return "PASS " + OneDecimal(seconds) + " s";
        case UnitVerdict::kStopped:
            return "STOPPED " + OneDecimal(seconds) + " s";
        case UnitVerdict::kInterrupted:
            return "INTERRUPTED: " + reason;
        case UnitVerdict::kFailed:
            break;
    }
    return "FAIL " + reason;
}

std::string CountsWords(const VerdictCounts &counts) {
    char text[160];
    const int length =
        std::snprintf(text, sizeof text, "%d unit%s: %d PASS, %d FAIL, %d STOPPED", counts.units,
                      counts.units == 1 ? "" : "s", counts.passed, counts.failed, counts.stopped);
    if (counts.interrupted > 0) {
        std::snprintf(text + length, sizeof text - length, ", %d INTERRUPTED", counts.interrupted);
    }
    return text;
}

std::optional<std::string> OperatorLine(const DownloadEvent &event) {
    switch (event.kind) {
        case EventKind::kUnitEnd: {
            const UnitVerdict verdict = VerdictOfEnd(event);
            return UnitName(event) + " " +
                   UnitWords(verdict, event.seconds, ReasonOfEnd(event, verdict));
        }
        case EventKind::kStation:
            switch (event.station_run) {
                case StationRun::kRunning:
                    return event.station + ": started again";
                case StationRun::kStopped:
                    return event.station + ": stopped; \"start " + event.station +
                           "\" starts it again";
                case StationRun::kEnded:
                    if (event.error) {
                        return event.station + ": " + *event.error;
                    }
                    return std::nullopt;
            }
            return std::nullopt;
        case EventKind::kScan: {
            const std::string who = event.station.empty() ? "" : event.station + ": ";
            const std::string id = "\"" + event.unit_id.value_or("") + "\"";
            switch (event.scan_state) {
                case ScanState::kRefused:
                    return who + id + " is not taken: " + event.reason.value_or("refused");
                case ScanState::kDropped:
                    return who + id + " is not flashed: " + event.reason.value_or("dropped");
                default:
                    return std::nullopt;
            }
        }
        case EventKind::kNotice:
            return event.station.empty() ? event.text : event.station + ": " + event.text;
        default:
            return std::nullopt;
    }
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
        case kFinished:
            return "Every unit passed";
        case kStopped:
            return "Stopped";
        case kUnitsFailed:
            return "Some units failed";
        default:
            return "The bench could not go on (status " + std::to_string(*exit_status) + ")";
    }
}

std::string TileStateWords(const StationTile &tile, bool scan) {
    switch (tile.state) {
        case TileState::kStarting:
            return "Starting";
        case TileState::kWaitingForPhone:
            if (scan) {
                return tile.unit_id.empty() ? "Scan the next unit"
                                            : "Waiting for a phone: " + tile.unit_id;
            }
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

std::string TileSpoken(const StationTile &tile, bool scan,
                       std::chrono::steady_clock::time_point now) {
    const auto seconds = std::to_string(std::lround(TileSeconds(tile, now))) + " seconds";
    std::string spoken = tile.port + ": ";
    if (tile.state == TileState::kFlashing) {
        spoken += "unit " + std::to_string(tile.unit) + ", " + TileStateWords(tile, scan) + ", " +
                  std::to_string(tile.percent) + " percent, " + seconds;
    } else if (tile.last) {
        spoken += std::string(VerdictWord(tile.last->verdict)) + ", " + seconds;
        if (!tile.last->reason.empty()) {
            spoken += ", " + tile.last->reason;
        }
        spoken += ", " + TileStateWords(tile, scan);
    } else {
        spoken += TileStateWords(tile, scan);
    }
    if (!tile.error.empty()) {
        spoken += ", error: " + tile.error;
    }
    return spoken;
}

}  // namespace dekvanto::core
