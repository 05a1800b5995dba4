// The phone core alone: the PC's bytes in at chosen moments, the phone's answers and events out,
// with no line and no clock.
#include "sim/phone_core.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pc_side.h"

namespace dekvanto::simtest {
namespace {

using dekvanto::sim::EndReason;
using dekvanto::sim::FaultKind;
using dekvanto::sim::PhoneConfig;
using dekvanto::sim::PhoneEvent;
using dekvanto::sim::Spot;
using ::testing::ElementsAre;
using ::testing::Pair;

constexpr int64_t kMs = 1'000'000;

// One phone core, fed whole frames that arrive at a moment, each followed by the phone acting up
// to that moment. Answers are kept as (moment in ms, byte).
struct Core {
    explicit Core(PhoneConfig config, bool speeds_known = true)
        : core(std::move(config), speeds_known) {}

    void Arrive(int64_t at_ns, const Bytes &bytes, uint32_t bit_rate = 115200) {
        core.Receive(bytes.data(), bytes.size(), bit_rate, at_ns);
        AdvanceTo(at_ns);
    }
    void ArriveMs(int64_t at_ms, const Bytes &bytes, uint32_t bit_rate = 115200) {
        Arrive(at_ms * kMs, bytes, bit_rate);
    }
    void AdvanceTo(int64_t at_ns) {
        core.Advance(at_ns);
        for (PhoneEvent &event : core.TakeEvents()) {
            if (event.kind == PhoneEvent::Kind::kAnswer) {
                answers.emplace_back(event.at_ns / kMs, event.byte);
            }
            events.push_back(std::move(event));
        }
    }
    // Boot code and a 40-byte loader (blocks of 32 and 8) at 100, 200 and 300 ms, the end frame
    // at 300 ms.
    void PlayBootAndLoader() {
        ArriveMs(0, {0x38}, 2400);
        ArriveMs(100, kLine115200, 2400);
        const Bytes loader = Pattern(40, 1);
        Bytes blocks = ShortFrame(Bytes(loader.begin(), loader.begin() + 32));
        const Bytes last = ShortFrame(Bytes(loader.begin() + 32, loader.end()));
        blocks.insert(blocks.end(), last.begin(), last.end());
        ArriveMs(200, blocks);
        ArriveMs(300, ShortFrame({}));
    }
    bool Ended(EndReason reason) const {
        return !events.empty() && events.back().kind == PhoneEvent::Kind::kEnd &&
               events.back().reason == reason;
    }

    dekvanto::sim::PhoneCore core;
    std::vector<std::pair<int64_t, uint8_t>> answers;
    std::vector<PhoneEvent> events;
};

PhoneConfig Config(bool acknowledged = true) {
    PhoneConfig config;
    config.acknowledged = acknowledged;
    config.delays = {5, 20, 20, 30, 5};
    return config;
}

// Every answer is dated from the arrival of the frame it answers; each '8' comes after the
// phone's own pause, counted from the step before it, and not a moment earlier.
TEST(PhoneCore, AnswersAreDatedFromTheFrameAndThePhonesOwnPauses) {
    Core phone(Config());
    phone.PlayBootAndLoader();
    EXPECT_EQ(phone.core.NextWakeNs(), 305 * kMs);
    phone.AdvanceTo(305 * kMs - 1);
    EXPECT_EQ(phone.answers.size(), 3u);
    phone.AdvanceTo(305 * kMs);
    const Bytes code = Pattern(300, 2);
    phone.ArriveMs(400, {0x43});
    phone.ArriveMs(410, SizeFrame(300));
    Bytes blocks = LongFrame(Bytes(code.begin(), code.begin() + 256));
    const Bytes last = LongFrame(Bytes(code.begin() + 256, code.end()));
    blocks.insert(blocks.end(), last.begin(), last.end());
    phone.ArriveMs(420, blocks, 115200);
    phone.ArriveMs(430, SumFrame(FileSum(code)));
    phone.AdvanceTo(500 * kMs);
    phone.ArriveMs(600, SizeFrame(10));
    phone.ArriveMs(610, LongFrame(Pattern(10, 3)));
    phone.AdvanceTo(620 * kMs);

    EXPECT_THAT(phone.answers,
                ElementsAre(Pair(100, 0x06), Pair(200, 0x06), Pair(200, 0x06), Pair(305, '8'),
                            Pair(410, 0x06), Pair(420, 0x06), Pair(420, 0x06), Pair(430, 0x06),
                            Pair(450, '8'), Pair(470, '8'), Pair(500, '8'), Pair(600, 0x06),
                            Pair(610, 0x06), Pair(615, '8')));
    EXPECT_TRUE(phone.core.Lingering());
    EXPECT_TRUE(phone.core.Record().complete);
    EXPECT_EQ(phone.core.Record().errors, std::vector<std::string>{});
    EXPECT_EQ(phone.core.Record().perso_gap_ms, 170);
}

// A frame that came while the phone was still pausing is taken only after the pause: its answer
// follows the '8'. In blind mode the phone leaves its own pauses out, does not hold it against
// the PC that it runs ahead, and records no speeds it cannot know.
TEST(PhoneCore, FramesThatComeDuringAPauseAreAnsweredAfterIt) {
    PhoneConfig config = Config(/*acknowledged=*/false);
    config.faults = {{FaultKind::kDelay, {Spot::kDekeReady, 0}, 0, 50}};
    Core phone(config, /*speeds_known=*/false);
    phone.PlayBootAndLoader();
    phone.ArriveMs(300, {0x43});
    phone.ArriveMs(301, SizeFrame(1));
    phone.ArriveMs(302, LongFrame({0x41}));
    phone.ArriveMs(303, SumFrame(FileSum({0x41})));
    phone.ArriveMs(310, SizeFrame(1));  // during DEKE's delayed restart
    EXPECT_EQ(phone.core.NextWakeNs(), 353 * kMs);
    phone.AdvanceTo(353 * kMs);

    EXPECT_THAT(phone.answers,
                ElementsAre(Pair(100, 0x06), Pair(200, 0x06), Pair(200, 0x06), Pair(300, '8'),
                            Pair(301, 0x06), Pair(302, 0x06), Pair(303, 0x06), Pair(303, '8'),
                            Pair(303, '8'), Pair(353, '8'), Pair(353, 0x06)));
    EXPECT_EQ(phone.core.Record().errors, std::vector<std::string>{});
    EXPECT_TRUE(phone.core.Record().speeds.empty());
}

// In acknowledged mode a frame whose first byte had arrived by the moment of the answer the PC
// has to read was sent too early; one a moment later was not.
TEST(PhoneCore, AFrameIsTooEarlyWhenItCameByTheMomentOfTheAnswer) {
    for (const int64_t after_ns : {0, 1}) {
        SCOPED_TRACE(after_ns);
        Core phone(Config());
        phone.ArriveMs(0, {0x38}, 2400);
        phone.ArriveMs(100, kLine115200, 2400);
        phone.Arrive(100 * kMs + after_ns, ShortFrame(Pattern(8, 1)));
        const bool early = phone.core.Record().HasErrorContaining(
            "loader block 1 came before the PC could have read the answer to line");
        EXPECT_EQ(early, after_ns == 0) << ::testing::PrintToString(phone.core.Record().errors);
    }
}

// The idle clock starts with the PC's first byte; a PC that lets go of the line ends the wait for
// a frame, and ends a pause at once; a stop after the last answer leaves the session finished.
TEST(PhoneCore, SessionEndsByIdleTimeLetGoOrStop) {
    {
        PhoneConfig config = Config();
        config.idle_timeout_ms = 200;
        Core phone(config);
        EXPECT_EQ(phone.core.NextWakeNs(), std::nullopt);
        phone.ArriveMs(1000, {0x38}, 2400);
        phone.AdvanceTo(1200 * kMs - 1);
        EXPECT_FALSE(phone.core.Over());
        phone.AdvanceTo(1200 * kMs);
        EXPECT_TRUE(phone.Ended(EndReason::kIdle));
        EXPECT_EQ(phone.core.Record().waiting_for, "the line setup frame");
    }
    {
        Core phone(Config());
        phone.PlayBootAndLoader();  // the loader's '8' is due at 305 ms
        phone.core.SetPcLetGo(true);
        phone.AdvanceTo(301 * kMs);
        EXPECT_EQ(phone.answers.back(), std::make_pair(int64_t{301}, uint8_t{'8'}));
        EXPECT_TRUE(phone.Ended(EndReason::kReleased));
        EXPECT_EQ(phone.core.Record().waiting_for, "the download request byte");
    }
    {
        Core phone(Config());
        phone.PlayBootAndLoader();
        phone.ArriveMs(400, {0x40});
        EXPECT_TRUE(phone.core.Lingering());
        phone.ArriveMs(410, {0x00});
        phone.core.Stop(420 * kMs);
        EXPECT_TRUE(phone.core.Over());
        const dekvanto::sim::Summary s = phone.core.TakeSummary();
        EXPECT_EQ(s.end, EndReason::kFinished);
        EXPECT_THAT(s.errors, ElementsAre("1 bytes came after the end of the download"));
    }
}

// A blind PC that has let go of the line while the phone was still behind: the terminal echoes
// the answers it took in after the PC put its settings back ("^F" for 0x06), behind the PC's last
// frame and in the same read. Only the byte the PC itself sent too many is held against it.
TEST(PhoneCore, TheEchoOfItsOwnAnswersIsNotTakenForBytesAfterTheEnd) {
    Core phone(Config(false));
    phone.PlayBootAndLoader();
    const Bytes last = {0x40, 0x00};  // the request byte without files, and one byte too many
    phone.core.Receive(last.data(), last.size(), 115200, 400 * kMs);
    phone.core.PcEchoes();
    const Bytes echo = {'^', 'F', '^', 'F'};
    phone.core.Receive(echo.data(), echo.size(), 0, 401 * kMs);
    phone.AdvanceTo(401 * kMs);
    EXPECT_TRUE(phone.core.Lingering());
    phone.core.Stop(420 * kMs);
    const dekvanto::sim::Summary s = phone.core.TakeSummary();
    EXPECT_EQ(s.end, EndReason::kFinished);
    EXPECT_THAT(s.errors, ElementsAre("1 bytes came after the end of the download"));
}

// The line goes at the unplug fault's place, after the answers decided before it, even delayed
// ones, and nothing is answered or taken in after it.
TEST(PhoneCore, UnplugComesAfterTheAnswersBeforeIt) {
    PhoneConfig config = Config();
    config.faults = {{FaultKind::kDelay, {Spot::kCodeBlock, 1}, 0, 30},
                     {FaultKind::kUnplug, {Spot::kCodeBlock, 2}, 0, 0}};
    Core phone(config);
    phone.PlayBootAndLoader();
    phone.AdvanceTo(305 * kMs);
    phone.ArriveMs(400, {0x41});
    phone.ArriveMs(410, SizeFrame(512));
    Bytes blocks = LongFrame(Pattern(256, 1));
    const Bytes second = LongFrame(Pattern(256, 2));
    blocks.insert(blocks.end(), second.begin(), second.end());
    phone.ArriveMs(420, blocks);
    phone.AdvanceTo(450 * kMs);
    phone.ArriveMs(460, SumFrame(0));

    ASSERT_TRUE(phone.Ended(EndReason::kUnplugged));
    const PhoneEvent &unplug = phone.events[phone.events.size() - 2];
    EXPECT_EQ(unplug.kind, PhoneEvent::Kind::kUnplug);
    EXPECT_EQ(unplug.at_ns, 450 * kMs);
    EXPECT_THAT(std::vector(phone.answers.end() - 2, phone.answers.end()),
                ElementsAre(Pair(410, 0x06), Pair(450, 0x06)));
    EXPECT_EQ(phone.core.Record().code.size(), 512u);
    EXPECT_FALSE(phone.core.Record().checksum_received.has_value());
}

}  // namespace
}  // namespace dekvanto::simtest
