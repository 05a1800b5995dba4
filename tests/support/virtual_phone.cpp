#include "virtual_phone.h"

namespace dekvanto::engine::testing {
namespace {

dekvanto::sim::PhoneConfig VirtualConfig(PhoneTimes times, bool acknowledged) {
    dekvanto::sim::PhoneConfig config;
    config.delays = times;
    config.acknowledged = acknowledged;
    return config;
}

}  // namespace

// The line model knows the speed of every byte it carries.
VirtualPhone::VirtualPhone(PhoneTimes times, bool acknowledged)
    : core_(VirtualConfig(times, acknowledged), /*speeds_known=*/true) {}

void VirtualPhone::Receive(const uint8_t *data, size_t count, uint32_t bit_rate,
                           int64_t first_arrival_ns, int64_t byte_ns) {
    core_.Receive(data, count, bit_rate, first_arrival_ns, byte_ns);
    core_.RunAhead();
}

std::vector<VirtualPhone::Answer> VirtualPhone::TakeAnswers() {
    std::vector<Answer> answers;
    for (const dekvanto::sim::PhoneEvent &event : core_.TakeEvents()) {
        if (event.kind == dekvanto::sim::PhoneEvent::Kind::kAnswer) {
            answers.push_back({event.at_ns, event.byte});
        }
    }
    return answers;
}

}  // namespace dekvanto::engine::testing
