// The bench set-up file: what is written reads back the same, paths follow the file, a file that
// is no set-up is refused with its reason, and the set-up becomes the arguments of `vanto bench`.
#include "core/bench/bench_setup.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

BenchSetup FullSetup() {
    return {.ports = {"COM3", "COM12"},
            .settings_file = "/etc/MX40.ini",
            .product = "VANTO 16 bits",
            .code = "/fw/code.bin",
            .perso = "/fw/perso.psb",
            .speed = "460800",
            .parity = "even",
            .blind = true,
            .reboot_delay = 2,
            .record = "/data/bench.jsonl",
            .operator_name = "Ana",
            .poll_seconds = 0.5,
            .scan = true,
            .count = 100};
}

TEST(BenchSetup, AWrittenSetUpReadsBackTheSameAndRelativePathsFollowTheFile) {
    TempFolder folder;
    std::string error;
    ASSERT_TRUE(WriteBenchSetupFile(folder / "line1.bench", FullSetup(), error)) << error;
    const BenchSetupReading reading = ReadBenchSetupFile(folder / "line1.bench");
    ASSERT_TRUE(reading.setup) << reading.error;
    EXPECT_EQ(*reading.setup, FullSetup());

    folder.Write("rel.bench", R"({"format":"dekvanto-bench-setup","version":1,"ports":["COM3"],
        "code":"fw/code.bin","record":"../bench.jsonl","product":"a/b"})");
    const BenchSetupReading relative = ReadBenchSetupFile(folder / "rel.bench");
    ASSERT_TRUE(relative.setup) << relative.error;
    EXPECT_EQ(*relative.setup->code, (folder / "fw/code.bin").string());
    EXPECT_EQ(relative.setup->record, (folder.Path().parent_path() / "bench.jsonl").string());
    EXPECT_EQ(*relative.setup->product, "a/b");  // a name, not a path
    EXPECT_FALSE(relative.setup->scan);
}

TEST(BenchSetup, TextThatIsNoSetUpIsRefusedWithItsReason) {
    const std::string head = R"({"format":"dekvanto-bench-setup","version":1,)";
    const std::vector<std::pair<std::string, std::string>> refused{
        {"[1]", "not a JSON object"},
        {R"({"version":1,"ports":["COM3"],"record":"r"})", "not a bench set-up"},
        {head + R"("ports":["COM3"]})", "a field is missing"},
        {head + R"("ports":"COM3","record":"r"})", "a field is missing"},
        {head + R"("ports":[],"record":"r"})", "1 to 16 ports"},
        {head + R"("ports":["COM3","COM 4"],"record":"r"})", "\"COM 4\" is no port name"},
        {head + R"("ports":["COM3","COM3"],"record":"r"})", "given twice"},
        {head + R"("ports":["COM3"],"record":"r","mode":"fast"})", "\"mode\""},
        {head + R"("ports":["COM3"],"record":"r","poll_seconds":0})", "poll interval"},
        {R"({"format":"dekvanto-bench-setup","version":2,"ports":["COM3"],"record":"r"})",
         "version"},
    };
    for (const auto &[text, reason] : refused) {
        const BenchSetupReading reading = ReadBenchSetup(text);
        EXPECT_FALSE(reading.setup) << text;
        EXPECT_NE(reading.error.find(reason), std::string::npos) << text << ": " << reading.error;
    }
    std::string ports = "[";
    for (int n = 1; n <= 17; ++n) {
        ports += (n > 1 ? ",\"COM" : "\"COM") + std::to_string(n) + "\"";
    }
    EXPECT_FALSE(ReadBenchSetup(head + R"("record":"r","ports":)" + ports + "]}").setup);
    EXPECT_NE(ReadBenchSetupFile("/nonexistent/x.bench").error.find("cannot read"),
              std::string::npos);
}

TEST(BenchSetup, TheSetUpGivesTheArgumentsOfTheBench) {
    EXPECT_EQ(BenchArguments(FullSetup()), (std::vector<std::string>{"bench",
                                                                     "--port",
                                                                     "COM3,COM12",
                                                                     "--settings",
                                                                     "/etc/MX40.ini",
                                                                     "--product",
                                                                     "VANTO 16 bits",
                                                                     "--code",
                                                                     "/fw/code.bin",
                                                                     "--perso",
                                                                     "/fw/perso.psb",
                                                                     "--speed",
                                                                     "460800",
                                                                     "--parity",
                                                                     "even",
                                                                     "--operator",
                                                                     "Ana",
                                                                     "--blind",
                                                                     "--reboot-delay",
                                                                     "2",
                                                                     "--record",
                                                                     "/data/bench.jsonl",
                                                                     "--poll",
                                                                     "0.5",
                                                                     "--scan",
                                                                     "--count",
                                                                     "100",
                                                                     "--events"}));
    EXPECT_EQ(BenchArguments({.ports = {"COM3"}, .record = "r"}),
              (std::vector<std::string>{"bench", "--port", "COM3", "--record", "r", "--events"}));
}

}  // namespace
}  // namespace dekvanto::core
