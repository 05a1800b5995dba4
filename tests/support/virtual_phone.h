// The phone's side of a download in virtual time, for the line model: the simulator's phone core
// driven by the line model's writes. Each write hands the core the PC's bytes with the moment
// each one has fully arrived; the core then runs ahead as far as it can, so that its answers,
// dated by the phone's own timing, are known before the engine reads. It never reads the
// engine's frame builders.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/phone_config.h"
#include "sim/phone_core.h"

namespace dekvanto::engine::testing {

// The phone's own pauses before its '8's, in milliseconds (the simulator's defaults).
using PhoneTimes = dekvanto::sim::PhoneDelays;

class VirtualPhone {
  public:
    // acknowledged: the PC reads the answers (the phone then checks that it waits for them and
    // takes its own pauses).
    VirtualPhone(PhoneTimes times, bool acknowledged);

    // count bytes sent at bit_rate; the first has fully arrived at first_arrival_ns, each further
    // one byte_ns later.
    void Receive(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_arrival_ns,
                 int64_t byte_ns);

    // An answer and the moment the phone sends it.
    struct Answer {
        int64_t send_ns;
        uint8_t byte;
    };
    // The answers given since the last call, in order.
    std::vector<Answer> TakeAnswers();

    // What the phone received and found, as the simulator records it.
    const dekvanto::sim::Summary &Record() const { return core_.Record(); }
    // True once the last answer of the download has been given.
    bool Complete() const { return Record().complete; }
    // What was found wrong, in the order found.
    const std::vector<std::string> &Errors() const { return Record().errors; }

  private:
    dekvanto::sim::PhoneCore core_;
};

}  // namespace dekvanto::engine::testing
