// One download on the pseudo-terminal: the phone core driven by the line.
//
// The session takes in what the PC sends and hands it to the core with the moment it arrived,
// lets the core act up to the present, sends the core's answers (at once, or through the wire's
// timing) and pulls the line away at an unplug fault. Between looks it sleeps until the PC's
// bytes come, a stop is requested, or the core's next moment (a pause ends, the idle or linger
// time runs out). It passes on the PC letting go of the line, a stop request and the line
// vanishing. After the last answer it keeps the line until the PC has read it or let go of it.
#pragma once

#include "sim/phone_config.h"
#include "sim/phone_core.h"
#include "sim/phone_link.h"
#include "sim/summary.h"

namespace dekvanto::sim {

class PhoneSession {
  public:
    PhoneSession(const PhoneConfig &config, PhoneLink &link);

    // Runs the download to its end (finished, idle, released, stopped, unplugged) and returns
    // what came of it. Runs once.
    Summary Run();

  private:
    // Carries out what the core did: its answers and an unplug.
    void CarryOut(const std::vector<PhoneEvent> &events);
    // Hands what arrived to the core; false when nothing did.
    bool Feed(const PhoneLink::Intake &intake);
    // The PC has read the last answers and does not hold the line: nothing keeps it up.
    bool PcHasTheLastAnswers() const;

    PhoneLink &link_;
    PhoneCore core_;
};

}  // namespace dekvanto::sim
