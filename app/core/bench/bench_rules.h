// The rules of a production bench that every front end shares (`vanto bench`, its stations, the
// bench window and its set-up file): how many stations a bench has, the limits of its options,
// what a bench refuses before any phone is touched, and the status it ends with. They are stated
// here once; a front end only reports what they decide.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/download/exit_status.h"
#include "core/records/record_reader.h"

namespace dekvanto::core {

inline constexpr std::size_t kMaxBenchStations = 16;
// Seconds between two attempts while a station waits for a phone or for its removal.
inline constexpr double kMinPollSeconds = 0.01;
inline constexpr double kMaxPollSeconds = 3600;
// Seconds a blind unit waits for the phone's restart: more would hold a station for hours.
inline constexpr int kMaxRebootDelaySeconds = 3600;
// A scanned identifier: at most this many bytes, printable text only.
inline constexpr std::size_t kMaxIdentifierBytes = 64;
// Identifiers scanned ahead for one station, waiting for its next units.
inline constexpr std::size_t kMaxWaitingIdentifiers = 32;
// The longest line the bench reads from its input or from a station; the rest of a longer one is
// cut off and reported, so that no writer can make the bench's memory grow without bound.
inline constexpr std::size_t kMaxBenchLineBytes = 64 * 1024;

// What a bench is asked to do, as far as its rules look at it.
struct BenchPlan {
    std::vector<std::string> ports{};  // "COM3", ...: one station each
    bool scan = false;                 // units start with a scanned identifier
    bool acknowledged = true;          // false: blind mode
    bool step = false;                 // step mode (waits for Enter at every prompt)
    std::optional<long long> count{};  // end after this many units in all
    double poll_seconds = 1.0;
    long long reboot_delay = 0;  // seconds, as the settings give it (less than 0 waits nothing)
};

struct BenchRefusal {
    ExitStatus status = kBadUsage;
    std::string text{};
};

// Why the bench cannot start, before any station does; nothing when it can.
std::optional<BenchRefusal> CheckBenchPlan(const BenchPlan &plan);

// Why `identifier` cannot be a unit's identifier (empty, too long, or holding control
// characters); nothing when it can.
std::optional<std::string> IdentifierProblem(std::string_view identifier);

// The status a bench ends with: the status of the first station (in the order of the ports) that
// could not go on; else kStopped when the bench or a station was stopped; else kUnitsFailed when
// a unit did not pass; else kFinished. `station_statuses` are the stations' exit statuses.
ExitStatus BenchExitStatus(const std::vector<int> &station_statuses, bool interrupted,
                           const VerdictCounts &units);

// Whether a station's exit status says it could not go on (anything but finished, stopped and
// units failed).
bool StationCouldNotGoOn(int status);

}  // namespace dekvanto::core
