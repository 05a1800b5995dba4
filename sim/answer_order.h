// The order of answers and frames in acknowledged mode: the PC must not send a frame before it
// could have read the answer it has to wait for, nor go on after such an answer was refused or
// left out.
//
// A gate is set at each answer the PC has to read (the last of a group of five blocks, every
// personalization block, every '8', ...). It lies at the moment the phone's latest answer went
// out: a frame whose first byte had already arrived by then was sent before the PC could have
// read it.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "sim/frame_reader.h"

namespace dekvanto::sim {

class AnswerOrder {
  public:
    // The phone sent an answer at at_ns.
    void Answered(int64_t at_ns) { last_answer_ns_ = at_ns; }
    // An answer was refused (not 0x06 or '8') or left out.
    void Refused() { refused_since_gate_ = true; }
    // The PC must read the answers up to here, the one named name last, before it sends on.
    void GateHere(const std::string &name);

    // What is wrong with the PC sending frame (called name) now; nothing when it may. A fault
    // found is reported once: the gate opens again after it.
    std::optional<std::string> Check(const Frame &frame, const std::string &name);

  private:
    static constexpr int64_t kNone = std::numeric_limits<int64_t>::min();

    int64_t last_answer_ns_ = kNone;
    int64_t gate_ns_ = kNone;
    std::string gate_name_;
    bool gate_refused_ = false;
    bool refused_since_gate_ = false;
};

}  // namespace dekvanto::sim
