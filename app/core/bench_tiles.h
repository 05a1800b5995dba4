// What the bench window shows of a running production bench: one tile per station, the bench's
// counters and the last units, all worked out from what `vanto bench --events` writes (its events
// on standard output, its permanent lines on standard error). The window draws this and nothing
// else; no download rule is repeated here: the words of a unit's outcome come from unit_result.h,
// as on the command-line bench's permanent lines.
//
// A tile's state in words: "Starting", "Waiting for a phone", the download's last log line while
// a unit runs ("Download code.bin"), "Remove the phone", "Stopped" once the operator has stopped
// the station (it can be started again), and "Ended" once it or the bench has ended for good.
// Its last result is "PASS", "FAIL" or "STOPPED" with the unit's words ("PASS 57.1 s", "FAIL no
// acknowledgement in the code file").
//
// Nothing that the bench writes can break the tiles: a line that is not an event, or that was
// cut off, becomes the error of the station it names (of the bench when it names none); an event
// of a kind this reader does not know is skipped. A bench that ends while a station is in a unit
// (killed, crashed) leaves that unit failed with the reason shown.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download_events.h"
#include "core/record_reader.h"
#include "core/unit_record.h"

namespace dekvanto::app {

// kUnitEnded: a unit has ended and the station has not yet said what it waits for.
enum class TileState {
    kStarting,
    kWaitingForPhone,
    kFlashing,
    kUnitEnded,
    kWaitingForRemoval,
    kStopped,
    kEnded
};

// How one unit came out, as its tile and the list of last units show it.
struct UnitShown {
    int unit = 0;
    std::string unit_id{};  // the scanned identifier; "" when the bench does not scan
    UnitVerdict verdict = UnitVerdict::kFailed;
    std::string words{};  // "PASS 57.1 s", "FAIL no acknowledgement in the code file"
    double seconds = 0;
};

struct StationTile {
    std::string port{};    // "COM3"
    std::string device{};  // the device behind the port (DeviceWords)
    TileState state = TileState::kStarting;
    int unit = 0;           // the unit running, or whose phone must go, or the next one's number
    std::string unit_id{};  // the running unit's scanned identifier
    std::string phase{};    // the running unit's last log line
    std::string prompt{};   // a question or message box of the running unit ("" when none)
    int percent = 0;
    uint64_t bytes = 0;
    std::chrono::steady_clock::time_point unit_since{};
    std::optional<UnitShown> last{};  // the last unit that ended
    VerdictCounts counts{};
    std::string error{};  // what went wrong with the station or its events; "" when nothing
};

// One row of the list of last units.
struct UnitRow {
    std::string time{};  // local time of day the unit ended, "14:03:27"
    std::string station{};
    UnitShown unit{};
};

// What a tile needs of the bench's set-up to word a unit's outcome.
struct TileWording {
    bool acknowledged = true;  // the line mode: a blind line words its result lines differently
    bool code_sent = true;     // the files in the order the engine sends them, after the loader
    bool perso_sent = false;
};

class BenchTiles {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxStations = 16;
    static constexpr std::size_t kMaxRows = 200;  // the list keeps the newest rows

    // One tile per port, in the order given. started: when the bench was started (units per
    // hour count from there).
    BenchTiles(const std::vector<std::string> &ports, TileWording wording,
               Clock::time_point started);

    // The device shown on a port's tile.
    void SetDevice(std::size_t station, std::string device);

    // A chunk of the bench's standard output (its events): every line it ends is taken in turn;
    // a line not yet ended waits for the next chunk. `wall` is the time of day for the list.
    void OnEvents(std::string_view bytes, Clock::time_point now,
                  std::chrono::system_clock::time_point wall);
    // A chunk of the bench's standard error (its permanent lines): a line "COM3: <text>" is that
    // station's error; the bench's own lines (refusals, totals) are kept in BenchLines().
    void OnLog(std::string_view bytes);
    // A scanned identifier handed to a station: its next unit carries it.
    void OnScanned(std::size_t station, std::string identifier);
    // A typed or scanned line for the bench: its station is the one it names first ("COM4
    // SN-1", any letter case), else `chosen`; the identifier is the rest, or the whole line.
    // `bench_line` is what the bench reads for it ("COM4 SN-1" with several stations, the bare
    // identifier with one). Nothing for an empty line or when there is no station.
    struct ScanRouting {
        std::size_t station = 0;
        std::string identifier;
        std::string bench_line;
    };
    std::optional<ScanRouting> RouteScan(std::string_view typed, std::size_t chosen) const;
    // The bench process has ended with this exit status, or crashed (killed by a signal): what
    // it left unended ends here. Call it after the last output was given.
    void OnBenchEnded(std::optional<int> exit_status, Clock::time_point now,
                      std::chrono::system_clock::time_point wall);

    const std::vector<StationTile> &Tiles() const { return tiles_; }
    const std::deque<UnitRow> &Rows() const { return rows_; }
    const std::vector<std::string> &BenchLines() const { return bench_lines_; }
    bool Ended() const { return ended_; }
    VerdictCounts Totals() const;

    // The station's index for a port name (letter case ignored), if it is one of the bench's.
    std::optional<std::size_t> StationOf(std::string_view port) const;

    // Units per hour since the bench started: of one station, or of the whole bench (none).
    double UnitsPerHour(std::optional<std::size_t> station, Clock::time_point now) const;

    // The list of last units as text to copy: one unit a line, tab-separated (time, station, unit
    // number, identifier, result), oldest first.
    std::string RowsText() const;

  private:
    void OnLine(std::string_view line, Clock::time_point now,
                std::chrono::system_clock::time_point wall);
    void OnEvent(StationTile &tile, const DownloadEvent &event, Clock::time_point now,
                 std::chrono::system_clock::time_point wall);
    void EndUnit(StationTile &tile, UnitShown shown, std::chrono::system_clock::time_point wall);
    UnitShown Shown(const StationTile &tile, const DownloadEvent &end) const;
    void StationError(std::string_view line, const std::string &error);

    std::vector<StationTile> tiles_;
    std::vector<std::vector<std::string>> unit_lines_;  // the running unit's log, per station
    std::vector<std::deque<std::string>> scanned_;      // identifiers waiting for their unit
    std::vector<bool> in_unit_;
    TileWording wording_;
    Clock::time_point started_;
    std::string events_pending_;
    std::string log_pending_;
    std::deque<UnitRow> rows_;
    std::vector<std::string> bench_lines_;
    bool ended_ = false;
};

// The device behind a port as a tile shows it: its path, then the USB product and serial number
// where known ("/dev/ttyUSB0, USB serial cable, serial A10K3"); "" when nothing is known.
std::string DeviceWords(const RecordDevice &device);

// How the bench ended, from its exit status (none: it was killed or crashed): "Every unit
// passed", "Some units failed", "Stopped", "The bench could not go on (status 5)", ...
std::string BenchEndWords(std::optional<int> exit_status);

// The state of a tile in words: "Waiting for a phone", the unit's last log line, ...
std::string TileStateWords(const StationTile &tile);

// The seconds a tile shows: of the running unit (from its start to now), else of its last unit.
double TileSeconds(const StationTile &tile, std::chrono::steady_clock::time_point now);

// What a screen reader says of a tile: "COM3: PASS, 57 seconds", "COM4: unit 13, Download
// code.bin, 35 percent, 12 seconds", "COM5: Waiting for a phone".
std::string TileSpoken(const StationTile &tile, std::chrono::steady_clock::time_point now);

}  // namespace dekvanto::app
