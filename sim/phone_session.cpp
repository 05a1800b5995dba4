#include "sim/phone_session.h"

#include <limits>

namespace dekvanto::sim {
namespace {

// Longest sleep between looks, so that the PC letting go of the line is noticed promptly; after
// the last answer, so that the PC reading it is.
constexpr int64_t kSliceMs = 20;
constexpr int64_t kLingerSliceMs = 10;

}  // namespace

// The PC's bytes carry the speed it had set once they were read. Only a PC that waits for the
// answers cannot have switched since it sent them; in blind mode the speeds prove nothing.
PhoneSession::PhoneSession(const PhoneConfig &config, PhoneLink &link)
    : link_(link), core_(config, config.acknowledged) {}

Summary PhoneSession::Run() {
    for (;;) {
        const int64_t now = NowNs();
        link_.SendDueAnswers();
        core_.SetPcLetGo(link_.Released());
        core_.Advance(now);
        if (link_.StopRequested()) {
            core_.Stop(now);
        }
        CarryOut(core_.TakeEvents());
        if (core_.Over()) {
            break;
        }
        const bool released_before = link_.Released();
        const PhoneLink::Intake intake = link_.TakeIn();
        if (intake.gone) {
            core_.LineGone(NowNs());
            continue;
        }
        if (Feed(intake) || link_.Released() != released_before) {
            continue;
        }
        const auto wake = core_.NextWakeNs().value_or(std::numeric_limits<int64_t>::max());
        if (!link_.Wait(wake, core_.Lingering() ? kLingerSliceMs : kSliceMs)) {
            core_.LineGone(NowNs());
        }
        // Asked only after a wait: an answer just written takes a moment to reach the PC's side.
        if (PcHasTheLastAnswers()) {
            break;
        }
    }
    // Answers still on the wire are let out before the line goes.
    link_.SendPendingAnswers();
    Summary summary = core_.TakeSummary();
    summary.counts.unheard += link_.Unheard();
    return summary;
}

void PhoneSession::CarryOut(const std::vector<PhoneEvent> &events) {
    for (const PhoneEvent &event : events) {
        if (event.kind == PhoneEvent::Kind::kAnswer) {
            link_.Send(event.byte, event.at_ns);
        } else if (event.kind == PhoneEvent::Kind::kUnplug) {
            link_.Unplug();
        }
    }
}

// Before the download has begun and once it is over, what a PC that is not listening (its side
// echoes) sends back is not the PC's own: a downloader puts the line into raw mode before its
// first byte. So the echo of an answer given as an earlier attempt let go of the line never
// starts a new one.
//
// While the download runs, bytes read once the PC's side echoes may still be the PC's (the phone
// was behind) followed by the echo of the phone's answers: the core is told, so that only what
// follows the end of the download is set aside. The echo is looked at after the read, so bytes
// read while the PC still listened are never taken for it.
bool PhoneSession::Feed(const PhoneLink::Intake &intake) {
    const bool deaf = link_.PcDeaf();
    if ((core_.Lingering() || !core_.Begun()) && deaf) {
        return !intake.arrived.empty();
    }
    if (deaf && !intake.arrived.empty()) {
        core_.PcEchoes();
    }
    for (const LineWire::Batch &batch : intake.arrived) {
        core_.Receive(batch.bytes.data(), batch.bytes.size(), batch.bit_rate,
                      batch.first_arrival_ns, batch.byte_ns);
    }
    return !intake.arrived.empty();
}

bool PhoneSession::PcHasTheLastAnswers() const {
    return core_.Lingering() && !link_.HeldSeen() && !link_.AnswersPending() && link_.Unread() == 0;
}

}  // namespace dekvanto::sim
