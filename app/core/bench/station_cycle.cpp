#include "core/bench/station_cycle.h"

#include <utility>

#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

using Kind = StationStep::Kind;

StationStep Step(Kind kind, int unit = 0) {
    StationStep step;
    step.kind = kind;
    step.unit = unit;
    return step;
}

StationStep Announce(WaitingFor what, int unit) {
    StationStep step = Step(Kind::kAnnounce, unit);
    step.waiting_for = what;
    return step;
}

void Append(StationSteps &steps, StationSteps more) {
    steps.insert(steps.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
}

}  // namespace

StationCycle::StationCycle(StationPlan plan) : plan_(std::move(plan)), unit_(plan_.first_unit) {}

StationSteps StationCycle::Begin() {
    if (plan_.phone_left && plan_.acknowledged) {
        phase_ = StationPhase::kWaitingForRemoval;
        removal_unit_ = *plan_.phone_left;
        StationSteps steps{Announce(WaitingFor::kRemoval, removal_unit_)};
        Append(steps, Attempt(AttemptKind::kProbe));
        return steps;
    }
    return NextUnit();
}

StationSteps StationCycle::NextUnit() {
    unit_id_.reset();
    StationSteps steps{Announce(WaitingFor::kPhone, unit_)};
    if (plan_.scan) {
        phase_ = StationPhase::kWaitingForGo;
        steps.push_back(Step(Kind::kAsk, unit_));
        return steps;
    }
    phase_ = StationPhase::kWaitingForPhone;
    Append(steps, Attempt(AttemptKind::kCandidate));
    return steps;
}

StationSteps StationCycle::Attempt(AttemptKind kind) {
    attempt_ = kind;
    stopping_ = false;
    StationStep step = Step(Kind::kAttempt, unit_);
    step.attempt = kind;
    return {step};
}

// The cycle stops the attempt itself: it ends as stopped, which is no Ctrl-C.
StationSteps StationCycle::StopAttempt() {
    stopping_ = true;
    return {Step(Kind::kStopAttempt)};
}

StationSteps StationCycle::StartUnit() {
    phase_ = StationPhase::kFlashing;
    unit_open_ = true;  // unless a step below fails
    write_ = Write::kStart;
    StationStep write = Step(Kind::kWriteStartLine, unit_);
    write.unit_id = unit_id_;
    StationStep report = Step(Kind::kReportUnitStart, unit_);
    report.unit_id = unit_id_;
    return {Step(Kind::kCheckUnit, unit_), write, report};
}

StationSteps StationCycle::OnGo(std::optional<std::string> unit_id) {
    if (phase_ == StationPhase::kWaitingForGo) {
        unit_id_ = std::move(unit_id);
        if (!plan_.acknowledged) {
            // Nothing answers a blind line: the unit starts with its identifier.
            StationSteps steps = StartUnit();
            Append(steps, Attempt(AttemptKind::kScanned));
            return steps;
        }
        phase_ = StationPhase::kWaitingForPhone;
        return Attempt(AttemptKind::kCandidate);
    }
    if (answering_ && attempt_ == AttemptKind::kCandidate &&
        phase_ == StationPhase::kWaitingForPhone) {
        return StartUnit();
    }
    return {};  // a go-ahead that nothing asked for
}

StationSteps StationCycle::OnNoMoreUnits() {
    no_more_units_ = true;
    if (answering_) {
        // Asked when a phone answered: that phone is not taken.
        return StopAttempt();
    }
    return End(std::nullopt);
}

StationSteps StationCycle::OnAnswered() {
    answering_ = true;
    switch (attempt_) {
        case AttemptKind::kProbe:
            return StopAttempt();
        case AttemptKind::kScanned:
            return {};
        case AttemptKind::kCandidate:
            break;
    }
    if (phase_ != StationPhase::kWaitingForPhone) {
        return {};
    }
    if (plan_.scan) {
        return StartUnit();  // its identifier came before the phone
    }
    return {Step(Kind::kAsk, unit_)};
}

StationSteps StationCycle::OnAttemptEnded(const AttemptEnd &end) {
    answering_ = false;
    if (unit_open_) {
        return EndUnit(end);
    }
    if (stop_status_) {
        return End(stop_status_, stop_reason_);  // refused while the attempt ran
    }
    if (end.outcome.status == OutcomeClass::kStopped && !stopping_) {
        interrupted_ = true;  // not stopped by the cycle: Ctrl-C
    }
    if (interrupted_ || no_more_units_) {
        return End(std::nullopt);
    }
    return attempt_ == AttemptKind::kProbe ? AfterProbe(end) : AfterCandidate(end);
}

StationSteps StationCycle::EndUnit(const AttemptEnd &end) {
    unit_open_ = false;
    UnitVerdict verdict = VerdictOfClass(end.outcome.status);
    ExitStatus status = ExitStatusOf(end.outcome.status);
    std::optional<std::string> reason;
    const bool files_changed = end.files_changed && verdict != UnitVerdict::kStopped;
    if (files_changed) {
        // Whatever the engine said, nobody knows what the phone received.
        verdict = UnitVerdict::kFailed;
        status = kFileError;
        reason = *end.files_changed + ": what the phone received is not known";
    } else if (verdict == UnitVerdict::kFailed) {
        reason = ReasonOf(end);
    }
    stopped_unit_ = stopped_unit_ || verdict == UnitVerdict::kStopped;
    failed_unit_ = failed_unit_ || verdict == UnitVerdict::kFailed;
    write_ = Write::kEnd;
    StationStep write = Step(Kind::kWriteEndLine, unit_);
    write.unit_id = unit_id_;
    write.verdict = verdict;
    write.reason = reason;
    write.status = status;
    StationStep report = write;
    report.kind = Kind::kReportUnitEnd;
    report.error = end.port_problem;
    const int ended = unit_++;
    StationSteps steps{write, report};
    if (files_changed) {
        Append(steps, End(kFileError, *end.files_changed));
    } else if (verdict == UnitVerdict::kStopped || interrupted_ || no_more_units_) {
        interrupted_ = interrupted_ || verdict == UnitVerdict::kStopped;
        Append(steps, End(std::nullopt));
    } else if (!plan_.acknowledged) {
        phase_ = StationPhase::kBetweenUnits;
        steps.push_back(Step(Kind::kPause));
    } else {
        phase_ = StationPhase::kWaitingForRemoval;
        removal_unit_ = ended;
        steps.push_back(Announce(WaitingFor::kRemoval, ended));
        steps.push_back(Step(Kind::kPause));
    }
    return steps;
}

StationSteps StationCycle::AfterProbe(const AttemptEnd &end) {
    if (end.answered) {
        return {Step(Kind::kPause)};  // still there
    }
    if (!NoPhone(end)) {
        return End(ExitStatusOf(end.outcome.status), StopReasonOf(end));
    }
    write_ = Write::kRemoval;
    StationSteps steps{Step(Kind::kWriteRemovalLine, removal_unit_)};
    Append(steps, NextUnit());
    return steps;
}

StationSteps StationCycle::AfterCandidate(const AttemptEnd &end) {
    if (NoPhone(end)) {
        return {Step(Kind::kPause)};
    }
    return End(ExitStatusOf(end.outcome.status), StopReasonOf(end));
}

StationSteps StationCycle::OnPauseEnded() {
    switch (phase_) {
        case StationPhase::kWaitingForRemoval:
            return Attempt(AttemptKind::kProbe);
        case StationPhase::kWaitingForPhone:
            return Attempt(AttemptKind::kCandidate);
        case StationPhase::kBetweenUnits:
            return NextUnit();
        default:
            return {};
    }
}

StationSteps StationCycle::OnInterrupt() {
    interrupted_ = true;
    if (phase_ == StationPhase::kEnded) {
        return {};
    }
    if (answering_) {
        return {Step(Kind::kStopAttempt)};
    }
    return End(std::nullopt);
}

StationSteps StationCycle::OnRecordFailed(const std::string &error) {
    if (write_ == Write::kEnd) {
        // The unit has its start line and no end line: the record holds it as interrupted, and
        // so it is reported.
        StationStep report = Step(Kind::kReportUnitEnd, unit_ - 1);
        report.unit_id = unit_id_;
        report.verdict = UnitVerdict::kInterrupted;
        report.reason = "its end line could not be written: " + error;
        report.status = kFileError;
        StationSteps steps{report};
        Append(steps, End(kFileError, error));
        return steps;
    }
    unit_open_ = false;
    return EndAfterAttempt(kFileError, error);
}

StationSteps StationCycle::OnUnitRefused(ExitStatus status, const std::string &reason) {
    unit_open_ = false;
    return EndAfterAttempt(status, reason);
}

StationSteps StationCycle::EndAfterAttempt(ExitStatus status, const std::string &reason) {
    // A candidate's checks and start line come while its attempt waits at the phone's answer:
    // the attempt is stopped, and the station ends once it has. Elsewhere no attempt runs.
    if (answering_) {
        stop_status_ = status;
        stop_reason_ = reason;
        return StopAttempt();
    }
    return End(status, reason);
}

StationSteps StationCycle::End(std::optional<ExitStatus> status,
                               std::optional<std::string> reason) {
    phase_ = StationPhase::kEnded;
    if (status && !stop_status_) {
        stop_status_ = status;
        stop_reason_ = std::move(reason);
    }
    StationStep step = Step(Kind::kEnd, unit_);
    step.status = Status();
    step.reason = stop_reason_;
    return {step};
}

ExitStatus StationCycle::Status() const {
    if (stop_status_) {
        return *stop_status_;
    }
    if (stopped_unit_ || interrupted_) {
        return kStopped;
    }
    return failed_unit_ ? kUnitsFailed : kFinished;
}

bool StationCycle::NoPhone(const AttemptEnd &end) const {
    return !end.answered && end.outcome.result &&
           (*end.outcome.result & 0xFFFF) == MX40_RESULT_NO_ACK;
}

std::string StationCycle::StopReasonOf(const AttemptEnd &end) const {
    return end.port_problem ? *end.port_problem : "the station stops: " + ReasonOf(end);
}

std::string StationCycle::ReasonOf(const AttemptEnd &end) const {
    if (end.port_problem) {
        return *end.port_problem;
    }
    return FailureReason(end.outcome, StageOf(end.outcome.lines, plan_.paths), plan_.acknowledged);
}

}  // namespace dekvanto::core
