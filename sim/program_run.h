// What the simulator's programs (vanto-phone-sim, vanto simulate) print while a started phone
// runs and when it ends.
//
// Standard output carries the machine-readable lines: one "UNIT ..." line per unit as its phone
// goes (with a unit plan; see UnitLine), then "END consistent" or "END inconsistent". The errors
// found, and why a download or a run was not complete, go to the error stream, each after the
// program's name.
#pragma once

#include <signal.h>

#include <ostream>
#include <string>

#include "sim/phone_simulator.h"

namespace dekvanto::sim {

// Follows the phone until it ends, turning any of signals (blocked by the caller) into a stop,
// and prints as above. Returns the exit status: kExitConsistent or kExitInconsistent.
int FollowPhone(PhoneSimulator &phone, const sigset_t &signals, std::ostream &out,
                std::ostream &err, const std::string &program);

// Runs one phone for a program inside another (vanto simulate): blocks SIGINT, SIGTERM and SIGHUP
// in the calling thread (the phone's threads, started now, keep them blocked), starts the phone,
// prints "READY COM<n> <line>" and follows it (FollowPhone) until it ends or one of them comes;
// then the thread's signal mask is as it was. A phone that does not start: its error after the
// program's name on err, and kExitSetup.
int RunPhoneUntilStopped(PhoneConfig config, UnitPlan plan, std::ostream &out, std::ostream &err,
                         const std::string &program);

}  // namespace dekvanto::sim
