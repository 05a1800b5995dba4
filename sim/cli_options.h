// The command line of vanto-phone-sim.
//
//   vanto-phone-sim [--port N] [--ports-dir DIR] [--record DIR] [--blind]
//                   [--expect-target BYTE] [--expect-speed BPS] [--expect-parity 0|1|2]
//                   [--expect-stop-bits 1|2] [--expect-request BYTE]
//                   [--erase-delay-ms MS] [--erase-start-delay-ms MS] [--erase-end-delay-ms MS]
//                   [--restart-delay-ms MS] [--loader-start-delay-ms MS]
//                   [--perso-done-delay-ms MS] [--idle-timeout-ms MS] [--linger-ms MS]
//                   [--own-terminal]
//                   [--wire-timed] [--adapter-latency-us US]
//                   [--fault KIND[=VALUE]@PLACE]...
//                   [--units N] [--absent-attempts N] [--absent-ms MS] [--gap-attempts N]
//                   [--gap-ms MS] [--stay-attempts N] [--unit-fault UNIT:KIND[=VALUE]@PLACE]...
//                   [--help]
//
// Any of the options from --units on turns the unit plan on: phones come and go on the line.
//
// Numbers are decimal or 0x-prefixed hexadecimal. Options take their value as the next
// argument or after '=' (--port=7).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/phone_config.h"
#include "sim/unit_plan.h"

namespace dekvanto::sim {

struct CliOptions {
    PhoneConfig config;
    UnitPlan plan;
    bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns nothing and says
// why in error.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string> &args,
                                           std::string &error);

// The --help text.
std::string UsageText();

// Exit statuses of vanto-phone-sim.
enum ExitStatus {
    kExitConsistent = 0,    // the download was complete and everything received was right
    kExitInconsistent = 1,  // something received was wrong, or the download was not complete
    kExitUsage = 2,         // bad command line
    kExitSetup = 3,         // the line or its COM<n> link could not be made
};

}  // namespace dekvanto::sim
