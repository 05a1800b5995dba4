#include "sim/answer_order.h"

namespace dekvanto::sim {

void AnswerOrder::GateHere(const std::string &name) {
    gate_ns_ = last_answer_ns_;
    gate_name_ = name;
    gate_refused_ = gate_refused_ || refused_since_gate_;
    refused_since_gate_ = false;
}

std::optional<std::string> AnswerOrder::Check(const Frame &frame, const std::string &name) {
    std::optional<std::string> fault;
    if (frame.first_ns <= gate_ns_) {
        fault = name + " came before the PC could have read the answer to " + gate_name_;
    } else if (gate_refused_) {
        fault = "the PC went on with " + name + " although an answer up to " + gate_name_ +
                " was refused or missing";
    }
    if (fault) {
        gate_ns_ = kNone;
        gate_refused_ = false;
    }
    return fault;
}

}  // namespace dekvanto::sim
