// Phones that come and go on one line, one unit after another, as a production bench meets them:
// how long the line stays empty before the first phone and between two phones, how many phones
// come, whether a phone that passed stays on the line, and the faults of each unit. Also what
// came of each unit, and the line that reports it.
//
// Absence is counted in the PC's attempts first: an attempt is the PC opening the line and
// letting go of it again, and one made while no phone is there finds nothing. A time can be
// added (at least so many milliseconds), but a phone only ever arrives while the PC has let go
// of the line, so a PC always meets it from the first byte of an attempt, however slow the
// machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/faults.h"
#include "sim/summary.h"

namespace dekvanto::sim {

// How long the line stays empty: until at least `attempts` attempts of the PC have found
// nothing there, and at least `ms` milliseconds have passed.
struct Absence {
    uint32_t attempts = 0;
    uint32_t ms = 0;
};

struct UnitPlan {
    // Off: the simulator runs one download session, as a phone on the line from the start.
    bool enabled = false;
    // Phones in a row; 0 for no end (the run ends when stopped).
    uint32_t units = 1;
    // Before the first phone, counted from the start of the run.
    Absence before_first;
    // Between two phones, counted from the moment the PC let go of the line after the first.
    Absence between{1, 0};
    // A phone whose download was good stays on the line for this many more attempts that reach
    // its line setup frame before it is taken away. It answers them as a phone does (a PC that
    // only probes for it stops after that answer); one that goes on into the loader flashes it a
    // second time, which is an error of the unit.
    uint32_t stay_attempts = 0;
    // Faults of single units (unit numbers count from 1), on top of the faults of every unit.
    std::vector<std::pair<uint32_t, Fault>> unit_faults;

    // The faults of one unit: every unit's, then its own.
    std::vector<Fault> FaultsOf(uint32_t unit, const std::vector<Fault> &every_unit) const;
};

// What came of one unit, once its phone has gone.
struct UnitReport {
    uint32_t unit = 0;
    // The attempt that flashed it (the first one that reached its line setup frame), judged
    // consistent or not; a second flashing is among its errors and makes it inconsistent.
    Summary flashing;
    // Attempts that went on past the line setup frame into the loader: 1 for a phone flashed
    // once, 0 for one only ever probed.
    uint32_t flashings = 0;
    // Later attempts that stopped at the line setup frame while the phone stayed.
    uint32_t probes = 0;
};

// "UNIT <n> <consistent|inconsistent> <how the flashing ended> flashings=<k> probes=<p>
// faults=<fault,...|none>", e.g. "UNIT 3 inconsistent released flashings=1 probes=0
// faults=silent@code-block:1".
std::string UnitLine(const UnitReport &report);

// "unit-<n>": the folder of a unit's record inside the record folder.
std::string UnitFolderName(uint32_t unit);

// Parses "UNIT:KIND[=VALUE]@PLACE" (for example "3:silent@code-block:1"). On failure returns
// nothing and says why in error.
std::optional<std::pair<uint32_t, Fault>> ParseUnitFault(const std::string &text,
                                                         std::string &error);

}  // namespace dekvanto::sim
