// Phones that come and go, met by the real engine as an unattended station meets them: a
// download every attempt, a probe (stopped as soon as the phone has answered the line setup
// frame) while a flashed phone stays, an empty line in between. The engine puts the line's
// settings back and discards its input as it lets go, which a fresh phone must take in its
// stride.
#include <gtest/gtest.h>

#include "dekvanto/mx40.h"
#include "download_rig.h"
#include "sim/phone_simulator.h"

namespace dekvanto::simtest {
namespace {

constexpr std::chrono::seconds kBound{60};

// Stops the download once the phone's answer to the line setup frame has been read.
void MX40_CALL StopAtLineAnswer(void *, int32_t direction, int32_t phase, const uint8_t *bytes,
                                uint32_t count) {
    if (direction == MX40_TRACE_RECEIVED && phase == MX40_PHASE_LINE_SETUP && count == 1 &&
        bytes[0] == 0x06) {
        Mxl40_StartStop(0);
    }
}

class Station {
  public:
    Station(const dekvanto::testing::SampleFiles &files, sim::PhoneSimulator &phone)
        : phone_(phone), files_{files.loader.c_str(), files.code.c_str(), files.perso.c_str()} {}

    // One attempt; returns its result once the phone has seen the line let go.
    char Download(bool probe = false) {
        Mxl40_SetTrace(probe ? StopAtLineAnswer : nullptr, nullptr);
        Mx40Settings settings{phone_.PortNumber() - 1, 0, 1, 1, 0, 0, 0};
        const Mx40Options options{0, 0, 1, 0};
        const auto result =
            static_cast<char>(Mxl40_Download(nullptr, &settings, &files_, &options));
        Mxl40_SetTrace(nullptr, nullptr);
        EXPECT_TRUE(phone_.WaitForLetGo(++attempts_, kBound)) << "attempt " << attempts_;
        return result;
    }

  private:
    sim::PhoneSimulator &phone_;
    Mx40Files files_;
    uint64_t attempts_ = 0;
};

TEST(UnitsWithTheEngine, EveryPhoneIsFlashedOnceAndAProbeLeavesNoTrace) {
    dekvanto::testing::DownloadRig rig({900, 3000, 500});
    rig.phone.delays = {5, 20, 20, 20, 5};
    sim::UnitPlan plan;
    plan.enabled = true;
    plan.units = 2;
    plan.before_first.attempts = 1;
    plan.stay_attempts = 1;
    sim::PhoneSimulator phone(rig.phone, plan);
    ASSERT_TRUE(phone.Start()) << phone.SetupError();
    Station station(rig.files, phone);

    EXPECT_EQ(station.Download(), MX40_RESULT_NO_ACK);  // nobody there yet
    EXPECT_EQ(station.Download(), MX40_RESULT_DONE);
    EXPECT_EQ(station.Download(/*probe=*/true), MX40_RESULT_STOPPED_WAITING);
    EXPECT_EQ(station.Download(), MX40_RESULT_NO_ACK);  // taken away after the probe
    EXPECT_EQ(station.Download(), MX40_RESULT_DONE);
    EXPECT_EQ(station.Download(/*probe=*/true), MX40_RESULT_STOPPED_WAITING);

    const sim::Summary run = phone.Finish(kBound);
    EXPECT_TRUE(run.consistent) << ::testing::PrintToString(run.errors);
    // After the last phone the line stays, empty: a station looking for it to go finds no phone,
    // not a vanished port.
    EXPECT_EQ(station.Download(/*probe=*/true), MX40_RESULT_NO_ACK);
    const std::vector<sim::UnitReport> units = phone.TakeUnits(std::chrono::milliseconds(0));
    ASSERT_EQ(units.size(), 2u);
    for (const sim::UnitReport &unit : units) {
        SCOPED_TRACE("unit " + std::to_string(unit.unit));
        EXPECT_EQ(unit.flashings, 1u);
        EXPECT_EQ(unit.probes, 1u);
        EXPECT_EQ(unit.flashing.loader, rig.files.loader_bytes);
        EXPECT_EQ(unit.flashing.code, rig.files.code_bytes);
        EXPECT_EQ(unit.flashing.perso, rig.files.perso_bytes);
    }
}

}  // namespace
}  // namespace dekvanto::simtest
