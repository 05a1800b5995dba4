// What a running production bench is, as its events tell it (download_events.h): one station
// view per port, the bench's counters, its first-pass yield and rate, the list of last units and
// the bench's own notices. It is the one state that every front end of a bench draws: `vanto
// bench` keeps it from its stations' events (its live lines on a terminal and its permanent lines
// are drawn from it), and the bench window keeps its own from the events that `vanto bench
// --events` writes. No download rule is repeated here: a unit's verdict and reason come in its
// unit-end, as its station worked them out and as its record holds them.
//
// A station's state in words: "Starting", "Waiting for a phone" ("Scan the next unit" when it
// waits for its identifier, "Waiting for a phone: SN-0042" once it has one), the download's last
// log line while a unit runs ("Download code.bin"), "Remove the phone", "Stopped" once the
// operator has stopped it (it can be started again), and "Ended" once it or the bench has ended
// for good.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_events.h"
#include "core/records/record_reader.h"
#include "core/records/unit_record.h"

namespace dekvanto::core {

enum class TileState {
    kStarting,
    kWaitingForPhone,
    kFlashing,
    kUnitEnded,  // a unit has ended and the station has not yet said what it waits for
    kWaitingForRemoval,
    kStopped,
    kEnded
};

// How one unit came out, as its station's view and the list of last units show it.
struct UnitShown {
    int unit = 0;
    std::string unit_id{};  // the scanned identifier; "" when the bench does not scan
    UnitVerdict verdict = UnitVerdict::kFailed;
    std::string reason{};  // why it did not pass; "" when it did
    std::string words{};   // "PASS 57.1 s", "FAIL no acknowledgement in the code file"
    double seconds = 0;
};

struct StationTile {
    std::string port{};    // "COM3"
    std::string device{};  // the device behind the port (DeviceWords)
    TileState state = TileState::kStarting;
    int unit = 0;           // the unit running, or whose phone must go, or the next one's number
    std::string unit_id{};  // the running unit's identifier, or the one its next phone gets
    std::deque<std::string> waiting_ids{};  // identifiers scanned for it, waiting their turn
    std::string phase{};                    // the running unit's last log line
    std::string prompt{};  // a question or message box of the running unit ("" when none)
    int percent = 0;
    uint64_t bytes = 0;
    std::chrono::steady_clock::time_point unit_since{};
    std::optional<UnitShown> last{};  // the last unit that ended
    VerdictCounts counts{};
    std::string error{};  // why the station could not go on; "" when nothing (cleared at a start)
    // Cycle times: from one unit's start to the next one's at this station.
    std::optional<std::chrono::steady_clock::time_point> last_start{};
    double cycle_seconds = 0;  // the sum of the cycles
    int cycles = 0;
};

// One row of the list of last units.
struct UnitRow {
    std::string time{};  // local time of day the unit ended, "14:03:27"
    std::string station{};
    UnitShown unit{};
};

class BenchState {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxRows = 200;     // the list keeps the newest rows
    static constexpr std::size_t kMaxNotices = 100;  // and the newest notices

    // One station per port, in the order given. scan: units start with scanned identifiers.
    BenchState(const std::vector<std::string> &ports, bool scan);

    // The device shown for a port.
    void SetDevice(std::size_t station, std::string device);

    // One event of the bench at `now`; `wall` is the time of day for the list.
    void Apply(const DownloadEvent &event, Clock::time_point now,
               std::chrono::system_clock::time_point wall);
    // A line of the event stream that is no event (cut off, unreadable): the error of the station
    // it names (of the bench when it names none), never a result.
    void OnBrokenLine(std::string_view line, const std::string &problem);
    // The bench process has ended with this exit status, or was killed (none): a unit it left
    // running ends here as interrupted, and every station as ended.
    void OnBenchEnded(std::optional<int> exit_status, Clock::time_point now,
                      std::chrono::system_clock::time_point wall);

    const std::vector<StationTile> &Tiles() const { return tiles_; }
    const std::deque<UnitRow> &Rows() const { return rows_; }
    // The bench's own lines, oldest first: notices, refused scans, how it ended.
    const std::deque<std::string> &Notices() const { return notices_; }
    bool Scan() const { return scan_; }
    bool Ended() const { return ended_; }
    VerdictCounts Totals() const;

    // The station's index for a port name (letter case ignored), if it is one of the bench's.
    std::optional<std::size_t> StationOf(std::string_view port) const;

    // The share of units that passed at their first try, from 0 to 1: with identifiers, the first
    // counted unit of each identifier (a phone that failed and then passed counts once, as a
    // retest); without, every unit. Stopped units do not count. Nothing before a unit counts.
    std::optional<double> FirstPassYield(std::optional<std::size_t> station = std::nullopt) const;
    // Units per hour from the stations' cycle times (one unit's start to the next's): of one
    // station, or the sum of every station's. Nothing until a station has had a whole cycle.
    std::optional<double> UnitsPerHour(std::optional<std::size_t> station = std::nullopt) const;

    // The list of last units as text to copy: one unit a line, tab-separated (time, station, unit
    // number, identifier, result), oldest first.
    std::string RowsText() const;

  private:
    void OnStationEvent(StationTile &tile, const DownloadEvent &event, Clock::time_point now,
                        std::chrono::system_clock::time_point wall);
    void OnScan(const DownloadEvent &event);
    void EndUnit(StationTile &tile, UnitShown shown, std::chrono::system_clock::time_point wall);
    void Notice(std::string text);

    struct FirstTry {
        std::string unit_id;
        std::size_t station;
        bool passed;
    };

    std::vector<StationTile> tiles_;
    std::vector<bool> in_unit_;
    bool scan_;
    std::deque<UnitRow> rows_;
    std::deque<std::string> notices_;
    std::vector<FirstTry> first_tries_;    // each identifier's first counted unit
    std::vector<VerdictCounts> untagged_;  // per station, units without an identifier
    bool ended_ = false;
};

// The words of a unit's outcome: "PASS 57.1 s", "STOPPED 3.0 s", "FAIL <reason>",
// "INTERRUPTED: <reason>".
std::string UnitWords(UnitVerdict verdict, double seconds, const std::string &reason);

// "3 units: 2 PASS, 1 FAIL, 0 STOPPED" (and the interrupted ones, when there are any).
std::string CountsWords(const VerdictCounts &counts);

// The line an operator reads for an event, as the terminal bench prints it and the window's status
// line shows it: a unit that ended ("COM3 #12 SN-0042 PASS 57.1 s"), a station stopped, ended
// with its reason or started again, a scan refused or dropped, a notice. Nothing for the events
// that only move a station's live state.
std::optional<std::string> OperatorLine(const DownloadEvent &event);

// The device behind a port as a station's view shows it: its path, then the USB product and serial
// number where known ("/dev/ttyUSB0, USB serial cable, serial A10K3"); "" when nothing is known.
std::string DeviceWords(const RecordDevice &device);

// How the bench ended, from its exit status (none: it was killed or crashed): "Every unit
// passed", "Some units failed", "Stopped", "The bench could not go on (status 5)", ...
std::string BenchEndWords(std::optional<int> exit_status);

// The state of a station in words: "Waiting for a phone", the unit's last log line, ...
std::string TileStateWords(const StationTile &tile, bool scan);

// The seconds a station's view shows: of the running unit (from its start to now), else of its
// last unit.
double TileSeconds(const StationTile &tile, std::chrono::steady_clock::time_point now);

// What a screen reader says of a station: "COM3: PASS, 57 seconds", "COM4: unit 13, Download
// code.bin, 35 percent, 12 seconds", "COM5: Waiting for a phone".
std::string TileSpoken(const StationTile &tile, bool scan,
                       std::chrono::steady_clock::time_point now);

}  // namespace dekvanto::core
