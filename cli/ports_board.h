// The parent's side of a download on several ports at once (stations.h), one station process per
// port: what each station reported, one line per station (redrawn on a terminal, prefixed lines
// otherwise), and the summary at the end. With --events, each station's events are passed on to
// standard output, each line whole as the station wrote it, and a station that ended without its
// unit-end gets one made for it. The processes themselves are started and followed by the
// platform's side.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "console.h"
#include "core/bench/bench_rules.h"
#include "core/download/download_events.h"
#include "core/text/output_lines.h"
#include "download_options.h"
#include "exit_status.h"

namespace dekvanto::cli {

// What the parent knows of one station.
struct StationState {
    std::string port;
    dekvanto::core::LineSplitter output{dekvanto::core::kMaxBenchLineBytes};
    std::string last_line;
    int percent = 0;
    int last_tenth = 0;
    uint64_t bytes = 0;
    int status = kOtherFailure;
    nlohmann::json summary = nlohmann::json::object();
    bool unit_started = false;  // its unit-start event was passed on
    bool unit_ended = false;    // its unit-end event was passed on
};

class PortsBoard {
  public:
    // events: where the stations' events go; null: they are not asked for.
    PortsBoard(std::vector<StationState> &stations, std::ostream &log, bool terminal,
               std::ostream *events = nullptr)
        : stations_(stations), log_(log), terminal_(terminal), events_(events) {}

    // The first drawing of the rows (on a terminal).
    void Begin();
    // A chunk of a station's output: every line it ends (LF or CRLF) is taken as by OnLine.
    void OnOutput(StationState &station, const char *bytes, std::size_t count);
    // One line of a station's output: a station message (station_messages.h), or anything else
    // its process printed, which is shown as it is.
    void OnLine(StationState &station, const std::string &line);

  private:
    void OnEvent(StationState &station, const dekvanto::core::DownloadEvent &event);
    void Print(const StationState &station, const std::string &text);
    void Redraw();

    std::vector<StationState> &stations_;
    std::ostream &log_;
    bool terminal_;
    std::ostream *events_;
};

// The unit-end of a station's unit whose own unit-end never came: its process could not start
// (then with the unit-start before it), was killed or crashed. It carries the status the
// process gave and says why in its error.
void WriteCutUnitEnd(std::ostream &out, const std::string &port, int unit, bool with_start,
                     int status, uint64_t bytes, const std::string &error);

// After every station has ended: the table, the JSON summary (with --json), the unit-end of each
// station whose events stopped short (with --events), and the status, which is 0 when every
// station finished, else the status of the first station that did not.
int FinishStations(const std::vector<StationState> &stations, const DownloadOptions &options,
                   Console &console);

}  // namespace dekvanto::cli
