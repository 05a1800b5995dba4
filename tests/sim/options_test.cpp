// Faults and the command line as the user writes them.
#include <gtest/gtest.h>

#include "sim/cli_options.h"
#include "sim/faults.h"

namespace {

TEST(FaultText, ParsesEveryKindAndNamesItBack) {
    const struct {
        const char *text;
        const char *name;
    } cases[] = {
        {"nak@code-block:3", "nak=0x15@code-block:3"},
        {"nak=0x21@line", "nak=0x21@line"},
        {"silent@perso-size", "silent@perso-size"},
        {"badsync@erase-end", "badsync=0x39@erase-end"},
        {"nosync@deke-ready", "nosync@deke-ready"},
        {"delay=250@checksum", "delay=250@checksum"},
        {"withhold@loader", "withhold@loader"},
        {"unplug@perso-block:12", "unplug@perso-block:12"},
    };
    for (const auto &c : cases) {
        std::string error;
        const auto fault = dekvanto::sim::ParseFault(c.text, error);
        ASSERT_TRUE(fault.has_value()) << c.text << ": " << error;
        EXPECT_EQ(dekvanto::sim::FaultName(*fault), c.name);
    }
}

TEST(FaultText, RefusesMalformedOrMisplacedFaults) {
    const struct {
        const char *text;
        const char *reason;
    } cases[] = {
        {"nak", "KIND[=VALUE]@PLACE"},
        {"frob@line", "unknown fault kind"},
        {"nak@nowhere", "unknown place"},
        {"nak@code-block", "needs a block number"},
        {"nak@code-block:0", "needs a block number"},
        {"nak@checksum:2", "takes no block number"},
        {"nak@erase-start", "go with a frame's answer"},
        {"badsync@line", "go with an '8'"},
        {"withhold@code-block:1", "whole file"},
        {"delay@line", "needs milliseconds"},
        {"nak=0x06@line", "good acknowledgement"},
        {"nak=0x100@line", "not a byte"},
        {"silent=3@line", "takes no value"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_FALSE(dekvanto::sim::ParseFault(c.text, error).has_value()) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
    }
}

TEST(CommandLine, FillsThePhoneConfig) {
    std::string error;
    const auto options = dekvanto::sim::ParseCommandLine({"--port",
                                                          "7",
                                                          "--record=/tmp/r",
                                                          "--blind",
                                                          "--expect-target",
                                                          "0x38",
                                                          "--expect-speed",
                                                          "460800",
                                                          "--expect-parity",
                                                          "2",
                                                          "--expect-stop-bits=2",
                                                          "--erase-delay-ms",
                                                          "40",
                                                          "--restart-delay-ms",
                                                          "0",
                                                          "--idle-timeout-ms",
                                                          "900",
                                                          "--fault",
                                                          "nak@checksum",
                                                          "--fault",
                                                          "withhold@code"},
                                                         error);
    ASSERT_TRUE(options.has_value()) << error;
    const dekvanto::sim::PhoneConfig &c = options->config;
    EXPECT_EQ(c.port, 7);
    EXPECT_EQ(c.record_dir, "/tmp/r");
    EXPECT_FALSE(c.acknowledged);
    EXPECT_EQ(c.expect.target_byte, 0x38);
    EXPECT_EQ(c.expect.bit_rate, 460800u);
    EXPECT_EQ(c.expect.parity, 2);
    EXPECT_EQ(c.expect.stop_bits, 2);
    EXPECT_EQ(c.delays.erase_start_ms, 40u);
    EXPECT_EQ(c.delays.erase_end_ms, 40u);
    EXPECT_EQ(c.delays.restart_ms, 0u);
    EXPECT_EQ(c.idle_timeout_ms, 900u);
    EXPECT_EQ(c.faults.size(), 2u);
}

TEST(CommandLine, ExplainsBadArguments) {
    const struct {
        std::vector<std::string> args;
        const char *reason;
    } cases[] = {
        {{"--port", "256"}, "--port: '256' is not a number from 0 to 255"},
        {{"--port"}, "--port needs a value"},
        {{"--expect-speed", "9600"}, "not 57600, 115200, 230400 or 460800"},
        {{"--expect-parity", "odd"}, "--expect-parity"},
        {{"--blind=yes"}, "--blind takes no value"},
        {{"--speed", "1"}, "unknown option '--speed'"},
        {{"--fault", "nak@erase-end"}, "--fault: "},
        {{"--unit-fault", "silent@line"}, "is not UNIT:KIND[=VALUE]@PLACE"},
        {{"--unit-fault", "0:silent@line"}, "with a unit number from 1"},
        {{"--unit-fault", "2:badsync@line"}, "--unit-fault: badsync and nosync"},
        {{"--units", "3", "--unit-fault", "4:silent@line"}, "unit 4 never comes with --units 3"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_FALSE(dekvanto::sim::ParseCommandLine(c.args, error).has_value()) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace

namespace {

TEST(CommandLine, WireTimingIsOffByDefaultAndTakesTheAdapterLatency) {
    std::string error;
    const auto plain = dekvanto::sim::ParseCommandLine({}, error);
    ASSERT_TRUE(plain.has_value()) << error;
    EXPECT_FALSE(plain->config.wire.enabled);

    const auto timed =
        dekvanto::sim::ParseCommandLine({"--wire-timed", "--adapter-latency-us=16000"}, error);
    ASSERT_TRUE(timed.has_value()) << error;
    EXPECT_TRUE(timed->config.wire.enabled);
    EXPECT_EQ(timed->config.wire.latency_us, 16000u);

    EXPECT_FALSE(dekvanto::sim::ParseCommandLine({"--wire-timed=1"}, error).has_value());
    EXPECT_FALSE(
        dekvanto::sim::ParseCommandLine({"--adapter-latency-us", "2000000"}, error).has_value());
}

}  // namespace

namespace {

// Phones that come and go only when asked for: without those options one session runs as ever.
TEST(CommandLine, UnitOptionsTurnThePlanOn) {
    std::string error;
    const auto plain = dekvanto::sim::ParseCommandLine({"--fault", "silent@line"}, error);
    ASSERT_TRUE(plain.has_value()) << error;
    EXPECT_FALSE(plain->plan.enabled);

    const auto units = dekvanto::sim::ParseCommandLine(
        {"--units=0", "--absent-attempts", "2", "--gap-ms", "500", "--stay-attempts", "3",
         "--unit-fault", "3:silent@code-block:1", "--fault", "delay=5@line"},
        error);
    ASSERT_TRUE(units.has_value()) << error;
    const dekvanto::sim::UnitPlan &plan = units->plan;
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.units, 0u);
    EXPECT_EQ(plan.before_first.attempts, 2u);
    EXPECT_EQ(plan.between.attempts, 1u);
    EXPECT_EQ(plan.between.ms, 500u);
    EXPECT_EQ(plan.stay_attempts, 3u);
    std::vector<std::string> third;
    for (const auto &fault : plan.FaultsOf(3, units->config.faults)) {
        third.push_back(dekvanto::sim::FaultName(fault));
    }
    EXPECT_EQ(third, (std::vector<std::string>{"delay=5@line", "silent@code-block:1"}));
    EXPECT_EQ(plan.FaultsOf(2, units->config.faults).size(), 1u);
}

}  // namespace
