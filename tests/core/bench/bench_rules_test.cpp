// The bench's rules stated once: what it refuses before any phone is touched, the status it ends
// with, and the messages between a station and its parent, each of which reads back as written.
#include "core/bench/bench_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/bench/station_messages.h"
#include "core/text/output_lines.h"

namespace dekvanto::core {
namespace {

TEST(BenchRules, WhatABenchRefusesBeforeItStarts) {
    const BenchPlan good{.ports = {"COM3", "COM4"}};
    EXPECT_FALSE(CheckBenchPlan(good));
    std::vector<std::string> sixteen;
    for (int n = 1; n <= 16; ++n) {
        sixteen.push_back("COM" + std::to_string(n));
    }
    EXPECT_FALSE(CheckBenchPlan({.ports = sixteen, .scan = true, .acknowledged = false}));
    std::vector<std::string> seventeen = sixteen;
    seventeen.push_back("COM17");
    const std::vector<BenchPlan> refused{
        {.ports = seventeen},
        {.ports = {}},
        {.ports = {"COM3", "com3"}},
        {.ports = {"COM3x"}},
        {.ports = {"COM0"}},
        {.ports = {"COM3"}, .acknowledged = false},
        {.ports = {"COM3"}, .step = true},
        {.ports = {"COM3"}, .count = 0},
        {.ports = {"COM3"}, .poll_seconds = 0},
        {.ports = {"COM3"}, .poll_seconds = 3601},
        {.ports = {"COM3"}, .reboot_delay = 100000},
    };
    for (const BenchPlan &plan : refused) {
        const auto refusal = CheckBenchPlan(plan);
        ASSERT_TRUE(refusal) << plan.ports.size();
        EXPECT_EQ(refusal->status, kBadUsage);
    }
    // A settings file's negative reboot delay waits nothing: it is no reason to refuse.
    EXPECT_FALSE(CheckBenchPlan({.ports = {"COM3"}, .reboot_delay = -1}));
}

TEST(BenchRules, TheStatusABenchEndsWith) {
    const VerdictCounts none;
    VerdictCounts failed;
    failed.Add(UnitVerdict::kFailed);
    EXPECT_EQ(BenchExitStatus({0, 0}, false, none), kFinished);
    EXPECT_EQ(BenchExitStatus({0, 0}, false, failed), kUnitsFailed);
    EXPECT_EQ(BenchExitStatus({9, 0}, false, none), kUnitsFailed);
    EXPECT_EQ(BenchExitStatus({9, 3}, false, failed), kStopped);  // stopped wins over failed
    EXPECT_EQ(BenchExitStatus({9, 0}, true, failed), kStopped);
    EXPECT_EQ(BenchExitStatus({3, 5, 4}, true, failed), kFileError);  // the first that could not
}

TEST(StationMessages, EachKindReadsBackAndOtherLinesAreNoMessages) {
    const std::vector<StationMessage> messages{
        {.kind = StationMessageKind::kEvent,
         .event = {.kind = EventKind::kUnitStart, .station = "COM3", .unit = 4, .unit_id = "SN"}},
        {.kind = StationMessageKind::kAsk, .unit = 12},
        {.kind = StationMessageKind::kError, .text = "cannot open the record file r: \"x\""},
        {.kind = StationMessageKind::kSummary, .summary = {{"port", "COM3"}, {"status", 0}}},
        {.kind = StationMessageKind::kGo},
        {.kind = StationMessageKind::kGo, .unit_id = "SN-0042"},
    };
    for (const StationMessage &message : messages) {
        const std::string line = StationMessageLine(message);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const StationMessageReading reading = ReadStationMessage(line + "\r");
        ASSERT_TRUE(reading.message) << line << ": " << reading.problem;
        EXPECT_EQ(*reading.message, message) << line;
    }
    for (const char *line : {
             "Segmentation fault",
             R"({"event":"unit-start","station":"COM3","unit":1})",  // an event, not a message
             R"({"kind":"event","event":{"event":"thermal","station":"COM3","unit":1}})",
             R"({"kind":"ask","unit":0})",
             R"({"kind":"teleport"})",
         }) {
        const StationMessageReading reading = ReadStationMessage(line);
        EXPECT_FALSE(reading.message) << line;
        EXPECT_FALSE(reading.problem.empty()) << line;
    }
}

TEST(LineSplitter, WholeLinesFromAnyChunksAndNoLineLongerThanItsLimit) {
    LineSplitter splitter(8);
    std::vector<std::string> lines;
    auto take = [&](const std::string &line, bool cut) {
        lines.push_back(line + (cut ? "<cut>" : ""));
    };
    splitter.Take("ab", take);
    splitter.Take("c\r\nde\n\n12345678\n", take);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "de", "", "12345678"}));
    lines.clear();
    // A writer that never ends its line: cut at the limit, the rest passed over to its end.
    splitter.Take("123456789", take);
    for (int i = 0; i < 1000; ++i) {
        splitter.Take("xxxxxxxxxx", take);
    }
    splitter.Take("x\nnext", take);
    EXPECT_EQ(lines, (std::vector<std::string>{"12345678<cut>"}));
    EXPECT_TRUE(splitter.Pending());
    splitter.Finish(take);
    EXPECT_EQ(lines.back(), "next");
}

}  // namespace
}  // namespace dekvanto::core
