// Phones that come and go on the simulated line, one unit after another (UnitPlan), as a
// production bench meets them.
//
// While no phone is there the line is empty: what the PC sends goes nowhere and nothing
// answers. A phone arrives only while the PC has let go of the line, so every attempt it takes
// part in meets a fresh phone core from the attempt's first byte at 2400 bit/s. The first attempt
// that reaches the phone's line setup frame flashes the unit. Once the PC has let go of the line
// after it, the phone is taken away; a phone whose download was good and that is to stay
// answers the stay attempts first, each again from a fresh core, so a PC that stops right after
// the line setup answer (a probe) leaves nothing behind for the next one. An attempt that ends
// before the phone has its line setup frame counts for nothing: the phone waits for the next.
//
// An unplug fault takes the line away with the unit; the port then comes back under the same
// COM<n> as a new line, as an adapter plugged in again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/phone_config.h"
#include "sim/phone_link.h"
#include "sim/pty_line.h"
#include "sim/summary.h"
#include "sim/unit_plan.h"

namespace dekvanto::sim {

class PhoneUnits {
  public:
    // Called on the run's thread.
    struct Hooks {
        std::function<void(const UnitReport &)> unit_gone;  // each unit, once its phone has gone
        std::function<void(uint64_t)> let_go;  // the PC has let go of the line this often in all
    };
    // Makes the line again after an unplug; null, with the reason in error, when it cannot.
    using LineMaker = std::function<std::unique_ptr<PtyLine>(std::string &error)>;

    PhoneUnits(const PhoneConfig &config, const UnitPlan &plan, const StopSignal &stop,
               Hooks hooks);

    // Runs the plan on line until the planned units have gone, a stop, or the line cannot be
    // made again. Returns the run as a whole: complete when every planned unit came and went
    // (always, for a run without end), consistent when also every unit was, with each unit's
    // errors after "unit <n>: ". Each unit's record goes to <record_dir>/unit-<n>.
    Summary Run(std::unique_ptr<PtyLine> line, const LineMaker &make_again);
    // After the run: the line stays, without a phone, until the stop, as a bench's cable stays
    // after the last phone. A station still waiting for that phone to go finds an empty line,
    // not a port that vanished.
    void KeepLineEmpty();

  private:
    // Keeps the line empty for absence, counted from since_ns; true once the phone is there.
    bool AwaitArrival(const Absence &absence, int64_t since_ns);
    // The phone of one unit on the line until it goes; nothing when no attempt reached its line
    // setup frame before the run ended.
    std::optional<UnitReport> HostUnit(uint32_t unit);
    // One attempt of the PC with a fresh phone core, up to the PC letting go of the line.
    Summary Attempt(const PhoneConfig &config);
    void AwaitLetGo();
    // One look at the line while no phone core listens: what came goes nowhere, and the PC
    // letting go of the line is counted. True when it has let go; otherwise waits for the PC's
    // next bytes, until wake_ns, at most a slice.
    bool LookWithoutPhone(int64_t wake_ns);
    void CountLetGo();
    void Replug();
    void Gone(UnitReport &report);
    bool Over() const { return stop_.Requested() || line_lost_; }
    Summary RunSummary() const;

    const PhoneConfig config_;
    const UnitPlan plan_;
    const StopSignal &stop_;
    const Hooks hooks_;
    LineMaker make_again_;
    std::unique_ptr<PtyLine> line_;
    std::unique_ptr<PhoneLink> link_;
    bool line_lost_ = false;
    uint64_t let_gos_ = 0;
    int64_t arrived_ns_ = 0;                        // when the current unit's phone arrived
    std::optional<int64_t> attempt_first_byte_ns_;  // the latest attempt's first byte
    uint32_t units_gone_ = 0;
    std::vector<std::string> errors_;  // every unit's, after "unit <n>: "
};

}  // namespace dekvanto::sim
