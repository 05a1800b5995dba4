// A simulated VANTO phone on a background thread, for tests and for the vanto-phone-sim
// program.
//
//   dekvanto::sim::PhoneConfig config;
//   config.expect.bit_rate = 115200;
//   dekvanto::sim::PhoneSimulator phone(config);
//   if (!phone.Start()) { ... phone.SetupError() ... }
//   // the engine may now open COM<phone.PortNumber()>
//   std::optional<dekvanto::sim::Summary> summary = phone.Wait(std::chrono::seconds(20));
//
// Start() returns once the pseudo-terminal exists and COM<n> is registered; one download
// session then runs on the thread. It ends when the last answer of the download was sent (and
// the PC has read it or let go of the line), when the PC lets go of the line early, after the
// idle time-out, on Stop(), or at an unplug fault. At the end the line is closed, the COM<n>
// link removed, and the record written when a record directory was given. Every wait is
// bounded; the destructor stops and joins.
//
// With a unit plan (plan.enabled) phones come and go on the line instead, unit after unit
// (sim/phone_units.h): TakeUnits() hands over each unit once its phone has gone, and the summary
// at the end speaks of the run as a whole.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/phone_config.h"
#include "sim/summary.h"
#include "sim/unit_plan.h"

namespace dekvanto::sim {

class PtyLine;
class StopSignal;

class PhoneSimulator {
  public:
    explicit PhoneSimulator(PhoneConfig config, UnitPlan plan = {});
    ~PhoneSimulator();

    PhoneSimulator(const PhoneSimulator &) = delete;
    PhoneSimulator &operator=(const PhoneSimulator &) = delete;

    // Creates the line and its COM<n> link, then starts the session. False, with the reason in
    // SetupError(), when the line or the link cannot be made (or on a second call).
    bool Start();
    const std::string &SetupError() const { return setup_error_; }

    // Valid after a successful Start(), also after the end.
    int PortNumber() const { return port_; }
    const std::string &SlavePath() const { return slave_path_; }  // e.g. /dev/pts/3
    const std::string &LinkPath() const { return link_path_; }    // <register>/COM<n>

    // Asks the session to end now (it ends with EndReason::kStopped unless already over).
    void Stop();

    // The summary once the session has ended, waiting at most timeout; nothing while it runs.
    std::optional<Summary> Wait(std::chrono::milliseconds timeout);

    // Waits up to grace for the session to end by itself, then stops it; always returns.
    Summary Finish(std::chrono::milliseconds grace = std::chrono::milliseconds(0));

    // With a unit plan: the units whose phone has gone since the last call, in order. Waits
    // up to timeout while there is none and the run goes on. Units are kept until taken.
    std::vector<UnitReport> TakeUnits(std::chrono::milliseconds timeout);
    // With a unit plan: waits up to timeout until the PC has let go of the line after count
    // attempts in all, as the phone has seen them; false when it has not by then. A PC that
    // waits for this before its next attempt knows that the phone has taken the pause in
    // between, to arrive or to be taken away.
    bool WaitForLetGo(uint64_t count, std::chrono::milliseconds timeout);

  private:
    void RunSession(std::unique_ptr<PtyLine> line);
    void RunUnits(std::unique_ptr<PtyLine> line, const std::string &register_dir);
    void Ended(Summary summary);

    PhoneConfig config_;
    UnitPlan plan_;
    std::unique_ptr<StopSignal> stop_;
    std::thread thread_;
    std::string setup_error_;
    int port_ = 0;
    std::string slave_path_;
    std::string link_path_;

    std::mutex mutex_;
    std::condition_variable ended_;
    std::optional<Summary> summary_;
    std::vector<UnitReport> units_;
    uint64_t let_gos_ = 0;
};

}  // namespace dekvanto::sim
