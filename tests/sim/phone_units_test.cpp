// Phones that come and go on the line, played from the PC's side by hand: an attempt opens the
// line, sends, and lets go of it again; the test waits for the phone to have seen each let-go
// before its next attempt, as a bench's poll interval gives it the time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "phone_fixture.h"
#include "sim/unit_plan.h"

namespace dekvanto::simtest {
namespace {

using dekvanto::sim::UnitLine;
using dekvanto::sim::UnitPlan;
using dekvanto::sim::UnitReport;
using ::testing::HasSubstr;

// Only a broken phone is waited for this long.
constexpr std::chrono::seconds kBound{60};

class UnitsTest : public PhoneTest {
  protected:
    void StartUnits(UnitPlan plan) {
        plan.enabled = true;
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.record_dir = (temp_ / "record").string();
        phone_ = std::make_unique<dekvanto::sim::PhoneSimulator>(config, plan);
        ASSERT_TRUE(phone_->Start()) << phone_->SetupError();
    }

    // One attempt: the line opened, play run on it, the line let go; returns once the phone has
    // seen the let-go.
    template <typename Play>
    void Attempt(Play play) {
        {
            PcLine pc(phone_->LinkPath(), /*exclusive=*/true);
            ASSERT_TRUE(pc.IsOpen());
            play(pc);
        }
        ASSERT_TRUE(phone_->WaitForLetGo(++attempts_, kBound)) << "attempt " << attempts_;
    }

    // An attempt that finds an empty line: the setup bytes go out and nothing comes back.
    void FindNothing() {
        Attempt([](PcLine &pc) {
            pc.Send(0x38);
            pc.Send(kLine115200);
            EXPECT_TRUE(pc.QuietFor(300)) << "something answered on an empty line";
        });
    }

    std::vector<UnitReport> AllUnits() {
        const dekvanto::sim::Summary run = Ended(*phone_);
        last_run_ = run;
        return phone_->TakeUnits(std::chrono::milliseconds(0));
    }

    static Download SampleDownload(uint8_t seed) {
        Download d;
        d.loader = Pattern(70, seed);
        d.code = Pattern(600, seed + 1);
        d.perso = Pattern(300, seed + 2);
        return d;
    }

    std::unique_ptr<dekvanto::sim::PhoneSimulator> phone_;
    uint64_t attempts_ = 0;
    dekvanto::sim::Summary last_run_;
};

// The bytes of attempts made before the phone came must not reach it: its download starts
// clean from the next attempt's first byte.
TEST_F(UnitsTest, AnEmptyLineAnswersNothingUntilThePhoneArrives) {
    UnitPlan plan;
    plan.before_first.attempts = 2;
    StartUnits(plan);
    FindNothing();
    FindNothing();
    const Download d = SampleDownload(1);
    Attempt([&](PcLine &pc) { EXPECT_EQ(PlayDownload(pc, d), ""); });

    const std::vector<UnitReport> units = AllUnits();
    ASSERT_EQ(units.size(), 1u);
    EXPECT_TRUE(units[0].flashing.consistent) << ::testing::PrintToString(units[0].flashing.errors);
    EXPECT_EQ(units[0].flashing.target_byte, 0x38);
    EXPECT_EQ(units[0].flashing.code, *d.code);
    // Counted from the arrival to the first byte of the attempt after it, not of an earlier one.
    ASSERT_TRUE(units[0].flashing.arrival_wait_ms.has_value());
    EXPECT_GE(*units[0].flashing.arrival_wait_ms, 0);
    EXPECT_LT(*units[0].flashing.arrival_wait_ms, 60'000);
    EXPECT_TRUE(last_run_.consistent) << ::testing::PrintToString(last_run_.errors);
    EXPECT_TRUE(last_run_.complete);
}

// Unit 1 refuses a code block; the PC gives up on it. It is taken away, the line stays empty
// for one attempt, and unit 2 comes with none of unit 1's faults. Each unit keeps its own record.
TEST_F(UnitsTest, EachUnitComesAfterTheGapWithItsOwnFaultsAndRecord) {
    UnitPlan plan;
    plan.units = 2;
    std::string error;
    plan.unit_faults.push_back(*dekvanto::sim::ParseUnitFault("1:nak@code-block:2", error));
    StartUnits(plan);
    const Download first = SampleDownload(1);
    Attempt([&](PcLine &pc) { EXPECT_THAT(PlayDownload(pc, first), HasSubstr("got 21")); });
    FindNothing();
    const Download second = SampleDownload(7);
    Attempt([&](PcLine &pc) { EXPECT_EQ(PlayDownload(pc, second), ""); });

    const std::vector<UnitReport> units = AllUnits();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(UnitLine(units[0]),
              "UNIT 1 inconsistent released flashings=1 probes=0 faults=nak=0x15@code-block:2");
    EXPECT_EQ(UnitLine(units[1]), "UNIT 2 consistent finished flashings=1 probes=0 faults=none");
    EXPECT_EQ(FileBytes(temp_ / "record" / "unit-1" / "loader.bin"), first.loader);
    EXPECT_EQ(FileBytes(temp_ / "record" / "unit-2" / "code.bin"), *second.code);
    EXPECT_EQ(FileBytes(temp_ / "record" / "unit-2" / "perso.bin"), *second.perso);
    EXPECT_TRUE(last_run_.complete);
    EXPECT_FALSE(last_run_.consistent);
    EXPECT_THAT(last_run_.errors,
                ::testing::ElementsAre(HasSubstr("unit 1: download not complete")));
}

// A phone that stays after a good download answers a probe, which stops at the line setup
// answer, and still meets the next attempt from its first byte; that attempt flashing it again
// is the unit's error.
TEST_F(UnitsTest, APhoneThatStaysAnswersProbesAndReportsASecondFlashing) {
    UnitPlan plan;
    plan.stay_attempts = 2;
    StartUnits(plan);
    const Download d = SampleDownload(3);
    Attempt([&](PcLine &pc) { EXPECT_EQ(PlayDownload(pc, d), ""); });
    Attempt([](PcLine &pc) {
        pc.Send(0x38);
        pc.Send(kLine115200);
        EXPECT_EQ(pc.Read(), 0x06);
    });
    Attempt([&](PcLine &pc) { EXPECT_EQ(PlayDownload(pc, d), ""); });

    const std::vector<UnitReport> units = AllUnits();
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].probes, 1u);
    EXPECT_EQ(units[0].flashings, 2u);
    EXPECT_FALSE(units[0].flashing.consistent);
    EXPECT_TRUE(units[0].flashing.HasErrorContaining("flashed a second time"));
    EXPECT_EQ(units[0].flashing.code, *d.code);
}

}  // namespace
}  // namespace dekvanto::simtest
