// A bench station's cycle fed events as its driver would feed them: every rule of when a phone is
// flashed, recorded, waited for and let go, without a process, a port or a clock.
#include "core/bench/station_cycle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

using Kind = StationStep::Kind;

// The steps in short words: "phone 1" (announce), "ask 1", "candidate", "probe", "scanned",
// "stop", "check", "start-line 1 SN", "unit-start 1 SN", "end-line 1 PASS", "unit-end 1 PASS",
// "removal-line 1", "pause", "end 3".
std::vector<std::string> Words(const StationSteps &steps) {
    std::vector<std::string> words;
    auto id = [](const StationStep &s) { return s.unit_id ? " " + *s.unit_id : std::string(); };
    for (const StationStep &s : steps) {
        const std::string unit = std::to_string(s.unit);
        switch (s.kind) {
            case Kind::kAnnounce:
                words.push_back((s.waiting_for == WaitingFor::kPhone ? "phone " : "removal ") +
                                unit);
                break;
            case Kind::kAsk:
                words.push_back("ask " + unit);
                break;
            case Kind::kAttempt:
                words.push_back(s.attempt == AttemptKind::kCandidate ? "candidate"
                                : s.attempt == AttemptKind::kProbe   ? "probe"
                                                                     : "scanned");
                break;
            case Kind::kStopAttempt:
                words.push_back("stop");
                break;
            case Kind::kCheckUnit:
                words.push_back("check");
                break;
            case Kind::kWriteStartLine:
                words.push_back("start-line " + unit + id(s));
                break;
            case Kind::kReportUnitStart:
                words.push_back("unit-start " + unit + id(s));
                break;
            case Kind::kWriteEndLine:
                words.push_back("end-line " + unit + " " + std::string(VerdictWord(s.verdict)));
                break;
            case Kind::kReportUnitEnd:
                words.push_back("unit-end " + unit + " " + std::string(VerdictWord(s.verdict)));
                break;
            case Kind::kWriteRemovalLine:
                words.push_back("removal-line " + unit);
                break;
            case Kind::kPause:
                words.push_back("pause");
                break;
            case Kind::kEnd:
                words.push_back("end " + std::to_string(s.status));
                break;
        }
    }
    return words;
}

using W = std::vector<std::string>;

AttemptEnd Ended(OutcomeClass status, int32_t result, bool answered = true) {
    AttemptEnd end;
    end.answered = answered;
    end.outcome.status = status;
    end.outcome.result = result;
    return end;
}
const AttemptEnd kNoPhone =
    Ended(OutcomeClass::kNoAcknowledgement, MX40_RESULT_NO_ACK, /*answered=*/false);
const AttemptEnd kPassed = Ended(OutcomeClass::kFinished, MX40_RESULT_DONE);
// A probe the cycle stopped at the phone's answer.
const AttemptEnd kProbeAnswered = Ended(OutcomeClass::kStopped, '3');
const AttemptEnd kFailed = Ended(OutcomeClass::kNoAcknowledgement, MX40_RESULT_NO_ACK);

const StationStep &Last(const StationSteps &steps) {
    return steps.back();
}

TEST(StationCycle, AnUnattendedStationFlashesEachPhoneOnceAndWaitsForItToGo) {
    StationCycle cycle({});
    EXPECT_EQ(Words(cycle.Begin()), (W{"phone 1", "candidate"}));
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kNoPhone)), W{"pause"});  // no phone: no unit
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"candidate"});
    EXPECT_EQ(Words(cycle.OnAnswered()), W{"ask 1"});
    EXPECT_EQ(Words(cycle.OnGo(std::nullopt)), (W{"check", "start-line 1", "unit-start 1"}));
    // The end line first, then the unit's outcome; the phone to go is the unit that ended.
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kPassed)),
              (W{"end-line 1 PASS", "unit-end 1 PASS", "removal 1", "pause"}));
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"probe"});
    // The phone stays: its probe is stopped at the answer, which is no Ctrl-C.
    EXPECT_EQ(Words(cycle.OnAnswered()), W{"stop"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kProbeAnswered)), W{"pause"});
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"probe"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kNoPhone)), (W{"removal-line 1", "phone 2", "candidate"}));
    // The bench takes no more units: the phone that answered is let be.
    EXPECT_EQ(Words(cycle.OnAnswered()), W{"ask 2"});
    EXPECT_EQ(Words(cycle.OnNoMoreUnits()), W{"stop"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kProbeAnswered)), W{"end 0"});
}

TEST(StationCycle, WithScanningAPhoneThatStaysIsProbedAndTheNextIdentifierWaitsForANewPhone) {
    StationCycle cycle({.scan = true});
    EXPECT_EQ(Words(cycle.Begin()), (W{"phone 1", "ask 1"}));
    EXPECT_EQ(Words(cycle.OnGo("SN-1")), W{"candidate"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kNoPhone)), W{"pause"});
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"candidate"});
    // The phone answers: its identifier is already there, nothing more is asked.
    EXPECT_EQ(Words(cycle.OnAnswered()), (W{"check", "start-line 1 SN-1", "unit-start 1 SN-1"}));
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kPassed)),
              (W{"end-line 1 PASS", "unit-end 1 PASS", "removal 1", "pause"}));
    for (int probe = 0; probe < 3; ++probe) {
        EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"probe"});
        EXPECT_EQ(Words(cycle.OnAnswered()), W{"stop"});
        EXPECT_EQ(Words(cycle.OnAttemptEnded(kProbeAnswered)), W{"pause"});
    }
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"probe"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kNoPhone)), (W{"removal-line 1", "phone 2", "ask 2"}));
    EXPECT_EQ(Words(cycle.OnGo("SN-2")), W{"candidate"});
    EXPECT_EQ(Words(cycle.OnAnswered()), (W{"check", "start-line 2 SN-2", "unit-start 2 SN-2"}));
}

TEST(StationCycle, ABlindUnitIsRecordedBeforeItsFirstByteAndNeverProbed) {
    StationCycle cycle({.scan = true, .acknowledged = false, .phone_left = 4});
    EXPECT_EQ(Words(cycle.Begin()), (W{"phone 1", "ask 1"}));  // a blind line cannot probe
    EXPECT_EQ(Words(cycle.OnGo("SN-1")),
              (W{"check", "start-line 1 SN-1", "unit-start 1 SN-1", "scanned"}));
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kPassed)),
              (W{"end-line 1 PASS", "unit-end 1 PASS", "pause"}));
    EXPECT_EQ(Words(cycle.OnPauseEnded()), (W{"phone 2", "ask 2"}));
    // A refused start line: no attempt runs, the station ends.
    const StationSteps go = cycle.OnGo("SN-2");
    ASSERT_EQ(go[1].kind, Kind::kWriteStartLine);
    EXPECT_EQ(Words(cycle.OnRecordFailed("disk full")), W{"end 5"});
}

TEST(StationCycle, AStationStartedAgainFirstWaitsForThePhoneItsLastRunFlashed) {
    StationCycle cycle({.first_unit = 1, .phone_left = 7});
    EXPECT_EQ(Words(cycle.Begin()), (W{"removal 7", "probe"}));
    EXPECT_EQ(Words(cycle.OnAnswered()), W{"stop"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kProbeAnswered)), W{"pause"});
    EXPECT_EQ(Words(cycle.OnPauseEnded()), W{"probe"});
    EXPECT_EQ(Words(cycle.OnAttemptEnded(kNoPhone)), (W{"removal-line 7", "phone 1", "candidate"}));
}

TEST(StationCycle, TheStatusAStationEndsWith) {
    {  // a unit failed, then Ctrl-C: stopped wins
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        const StationSteps ended = cycle.OnAttemptEnded(kFailed);
        EXPECT_EQ(Words(ended), (W{"end-line 1 FAIL", "unit-end 1 FAIL", "removal 1", "pause"}));
        EXPECT_EQ(*ended[1].reason, "no acknowledgement at the line setup");
        EXPECT_EQ(Words(cycle.OnInterrupt()), W{"end 3"});
    }
    {  // a unit failed, then no more units
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        cycle.OnAttemptEnded(kFailed);
        EXPECT_EQ(Words(cycle.OnNoMoreUnits()), W{"end 9"});
    }
    {  // Ctrl-C in the middle of a unit: it ends as stopped, and so does the station
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        EXPECT_EQ(Words(cycle.OnAttemptEnded(Ended(OutcomeClass::kStopped, '3'))),
                  (W{"end-line 1 STOPPED", "unit-end 1 STOPPED", "end 3"}));
    }
    {  // Ctrl-C while no phone was there
        StationCycle cycle({});
        cycle.Begin();
        EXPECT_EQ(Words(cycle.OnAttemptEnded(Ended(OutcomeClass::kStopped, '3', false))),
                  W{"end 3"});
    }
    {  // a port that fails with no phone on it ends the station with the port's own words
        StationCycle cycle({});
        cycle.Begin();
        AttemptEnd gone = Ended(OutcomeClass::kPortError, MX40_RESULT_PORT_ERROR, false);
        gone.port_problem = "COM3 now leads to /dev/ttyS2";
        const StationSteps ended = cycle.OnAttemptEnded(gone);
        EXPECT_EQ(Words(ended), W{"end 4"});
        EXPECT_EQ(*Last(ended).reason, "COM3 now leads to /dev/ttyS2");
    }
}

TEST(StationCycle, WhatTheRecordCannotHoldIsNeverReportedAsDone) {
    {  // the end line fails: the unit is reported as the record holds it, interrupted
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        cycle.OnAttemptEnded(kPassed);
        const StationSteps failed = cycle.OnRecordFailed("cannot write the record file r: ENOSPC");
        EXPECT_EQ(Words(failed), (W{"unit-end 1 INTERRUPTED", "end 5"}));
        EXPECT_NE(failed[0].reason->find("ENOSPC"), std::string::npos);
    }
    {  // the start line fails while the phone waits: the attempt stops, no unit is reported
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        EXPECT_EQ(Words(cycle.OnRecordFailed("gone")), W{"stop"});
        EXPECT_EQ(Words(cycle.OnAttemptEnded(kProbeAnswered)), W{"end 5"});
    }
    {  // a file changed since the start: no unit, the station ends with the reason
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        EXPECT_EQ(Words(cycle.OnUnitRefused(kFileError, "the code file c has changed")), W{"stop"});
        const StationSteps ended = cycle.OnAttemptEnded(kProbeAnswered);
        EXPECT_EQ(Words(ended), W{"end 5"});
        EXPECT_EQ(*Last(ended).reason, "the code file c has changed");
    }
    {  // a file changed while the unit ran: whatever the engine said, the unit failed
        StationCycle cycle({});
        cycle.Begin();
        cycle.OnAnswered();
        cycle.OnGo(std::nullopt);
        AttemptEnd end = kPassed;
        end.files_changed = "the code file c has changed since the bench started";
        const StationSteps ended = cycle.OnAttemptEnded(end);
        EXPECT_EQ(Words(ended), (W{"end-line 1 FAIL", "unit-end 1 FAIL", "end 5"}));
        EXPECT_EQ(ended[0].status, kFileError);
    }
}

}  // namespace
}  // namespace dekvanto::core
