#include "ports_board.h"

#include <cstdio>

#include "core/bench/station_messages.h"
#include "core/download/download_events.h"
#include "core/text/outside_text.h"

namespace dekvanto::cli {
namespace {

std::string Row(const StationState &station) {
    char head[64];
    std::snprintf(head, sizeof head, "%-7s %3d%% %10llu bytes  ", station.port.c_str(),
                  station.percent, static_cast<unsigned long long>(station.bytes));
    return head + dekvanto::core::TerminalText(station.last_line);
}

void PrintTable(const std::vector<StationState> &stations, std::ostream &out) {
    out << "\nStation  Port     Result  Status  Bytes       Seconds  Last line\n";
    int number = 1;
    for (const StationState &station : stations) {
        const auto &s = station.summary;
        const std::string result =
            s.contains("result") && s["result"].is_string() ? s["result"].get<std::string>() : "-";
        const double seconds = s.contains("seconds") ? s["seconds"].get<double>() : 0.0;
        char row[200];
        std::snprintf(row, sizeof row, "%-8d %-8s %-7s %-7d %-11llu %-8.1f ", number++,
                      station.port.c_str(), result.c_str(), station.status,
                      static_cast<unsigned long long>(station.bytes), seconds);
        out << row << dekvanto::core::TerminalText(station.last_line) << '\n';
    }
    out << std::flush;
}

// A station that could not start, or whose process ended before its unit did (killed, crashed),
// still ends its stream, with the status its process gave.
void EndCutEvents(const StationState &station, std::ostream &out) {
    if (station.unit_ended) {
        return;
    }
    WriteCutUnitEnd(out, station.port, 1, !station.unit_started, station.status, station.bytes,
                    !station.unit_started && !station.last_line.empty()
                        ? station.last_line
                        : "the station's process ended before its unit did");
}

}  // namespace

void WriteCutUnitEnd(std::ostream &out, const std::string &port, int unit, bool with_start,
                     int status, uint64_t bytes, const std::string &error) {
    using dekvanto::core::EventKind;
    if (with_start) {
        out << dekvanto::core::EventLine(
                   {.kind = EventKind::kUnitStart, .station = port, .unit = unit})
            << '\n';
    }
    out << dekvanto::core::EventLine({.kind = EventKind::kUnitEnd,
                                      .station = port,
                                      .unit = unit,
                                      .bytes = bytes,
                                      .status = status,
                                      .error = error})
        << '\n'
        << std::flush;
}

void PortsBoard::Begin() {
    if (terminal_) {
        for (const StationState &station : stations_) {
            log_ << Row(station) << '\n';
        }
        log_ << std::flush;
    }
}

void PortsBoard::OnOutput(StationState &station, const char *bytes, std::size_t count) {
    station.output.Take(std::string_view(bytes, count),
                        [&](const std::string &line, bool) { OnLine(station, line); });
}

void PortsBoard::OnLine(StationState &station, const std::string &line) {
    using dekvanto::core::StationMessageKind;
    const dekvanto::core::StationMessageReading reading = dekvanto::core::ReadStationMessage(line);
    if (!reading.message) {
        if (!line.empty()) {
            station.last_line = line;
            Print(station, line);
            Redraw();
        }
        return;
    }
    switch (reading.message->kind) {
        case StationMessageKind::kEvent:
            OnEvent(station, reading.message->event);
            return;
        case StationMessageKind::kError:
            station.last_line = reading.message->text;
            Print(station, station.last_line);
            break;
        case StationMessageKind::kSummary:
            station.summary = reading.message->summary;
            break;
        case StationMessageKind::kAsk:
        case StationMessageKind::kGo:
            break;
    }
    Redraw();
}

void PortsBoard::OnEvent(StationState &station, const dekvanto::core::DownloadEvent &event) {
    using dekvanto::core::EventKind;
    switch (event.kind) {
        case EventKind::kPhase:
        case EventKind::kMessage:
        case EventKind::kPrompt:
            station.last_line = event.text;
            Print(station, station.last_line);
            break;
        case EventKind::kProgress:
            station.percent = event.percent;
            station.bytes = event.bytes;
            if (!terminal_ && station.percent / 10 > station.last_tenth) {
                station.last_tenth = station.percent / 10;
                Print(station, "progress " + std::to_string(station.percent) + "%  " +
                                   std::to_string(station.bytes) + " bytes");
            }
            break;
        case EventKind::kUnitStart:
            station.unit_started = true;
            break;
        case EventKind::kUnitEnd:
            station.unit_ended = true;
            station.bytes = event.bytes;
            break;
        default:
            break;
    }
    if (events_ != nullptr) {
        *events_ << dekvanto::core::EventLine(event) << '\n' << std::flush;
    }
    Redraw();
}

void PortsBoard::Print(const StationState &station, const std::string &text) {
    if (!terminal_) {
        log_ << station.port << ": " << dekvanto::core::TerminalText(text) << std::endl;
    }
}

void PortsBoard::Redraw() {
    if (!terminal_) {
        return;
    }
    log_ << "\x1b[" << stations_.size() << 'A';
    for (const StationState &station : stations_) {
        log_ << "\r\x1b[2K" << dekvanto::core::CutText(Row(station), 120) << '\n';
    }
    log_ << std::flush;
}

int FinishStations(const std::vector<StationState> &stations, const DownloadOptions &options,
                   Console &console) {
    std::ostream &log = options.MachineOutput() ? console.err : console.out;
    PrintTable(stations, log);
    int status = kFinished;
    nlohmann::json all = nlohmann::json::array();
    for (const StationState &station : stations) {
        if (status == kFinished && station.status != kFinished) {
            status = station.status;
        }
        if (options.events) {
            EndCutEvents(station, console.out);
        }
        nlohmann::json entry = station.summary;
        entry["port"] = station.port;
        entry["status"] = station.status;
        all.push_back(entry);
    }
    if (options.json) {
        console.out << nlohmann::json{{"stations", all}, {"status", status}}.dump() << std::endl;
    }
    return status;
}

}  // namespace dekvanto::cli
