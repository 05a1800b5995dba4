// `vanto records`: the listing with its totals, the CSV rows, and the filters, on a record file
// with a passed (and then removed), a failed and an interrupted unit and a last line cut off.
#include <gtest/gtest.h>

#include <sstream>

#include "core/records/record_lines.h"
#include "exit_status.h"
#include "support/temp_folder.h"
#include "vanto_cli.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::OutcomeClass;
using dekvanto::core::UnitEnd;
using dekvanto::core::UnitRecord;

UnitRecord Unit(const std::string &station, int64_t unit, const std::string &started) {
    UnitRecord r;
    r.constants.host = "bench-2";
    r.constants.files = {{"loader", "/f/l.bin", 3, "FED9", "11"},
                         {"code", "/f/c.bin", 9, "1C", "22"}};
    r.start.station = station;
    r.start.unit = unit;
    r.start.started = started;
    r.start.device.path = "/dev/ttyUSB0";
    return r;
}

UnitRecord Ended(UnitRecord r, const std::string &ended, char result, OutcomeClass status,
                 const std::string &line, std::optional<std::string> reason = {}) {
    r.end = UnitEnd{ended, 57.125, 22000, result, status, line, {"log"}, std::move(reason)};
    return r;
}

class VantoRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        UnitRecord passed = Unit("COM3", 1, "2024-05-16T10:00:00.000Z");
        passed.start.unit_id = "SN-1";
        passed.start.operator_name = "Ana";
        const UnitRecord failed =
            Ended(Unit("COM4", 1, "2024-05-17T09:00:00.000Z"), "2024-05-17T09:00:03.000Z", 'E',
                  OutcomeClass::kNoAcknowledgement, "no acknowledgement, \"code\"",
                  "no acknowledgement in the code file");
        const UnitRecord interrupted = Unit("COM3", 2, "2024-05-17T10:00:00.000Z");
        const UnitRecord passed_end = Ended(passed, "2024-05-16T10:00:57.200Z", '2',
                                            OutcomeClass::kFinished, "DOWNLOAD COMPLETED");
        file =
            folder
                .Write("records.jsonl", StartLine(passed) + "\n" + StartLine(failed) + "\n" +
                                            EndLine(passed_end) + "\n" + EndLine(failed) + "\n" +
                                            RemovalLine(passed, "2024-05-16T10:01:00.000Z") + "\n" +
                                            StartLine(interrupted) + "\n" + "{\"schema\":1,\"ev")
                .string();
    }

    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        std::istringstream none;
        Console console{out, err, none, -1, false};
        args.insert(args.begin(), {"records", file});
        return RunVanto(args, console);
    }

    dekvanto::core::TempFolder folder;
    std::string file;
    std::ostringstream out;
    std::ostringstream err;
};

constexpr const char *kHeader =
    "started,ended,station,unit,unit_id,outcome,result,status,seconds,bytes,result_line,reason,"
    "operator,host,product,device,usb_serial,loader_sha256,code_sha256,perso_sha256,removed\n";
constexpr const char *kPassedRow =
    "2024-05-16T10:00:00.000Z,2024-05-16T10:00:57.200Z,COM3,1,SN-1,PASS,2,finished,57.125,22000,"
    "DOWNLOAD COMPLETED,,Ana,bench-2,,/dev/ttyUSB0,,11,22,,2024-05-16T10:01:00.000Z\n";
constexpr const char *kFailedRow =
    "2024-05-17T09:00:00.000Z,2024-05-17T09:00:03.000Z,COM4,1,,FAIL,E,no-acknowledgement,57.125,"
    "22000,\"no acknowledgement, \"\"code\"\"\",no acknowledgement in the code file,,bench-2,,"
    "/dev/ttyUSB0,,11,22,,\n";
constexpr const char *kInterruptedRow =
    "2024-05-17T10:00:00.000Z,,COM3,2,,INTERRUPTED,,,,,,,,bench-2,,/dev/ttyUSB0,,11,22,,\n";

TEST_F(VantoRecords, ListsUnitsThenTotalsAndReportsTheCutOffLine) {
    EXPECT_EQ(Run({}), kFinished);
    EXPECT_EQ(out.str(),
              "2024-05-16T10:00:00.000Z  COM3  #1 [SN-1]  PASS  57.1 s  DOWNLOAD COMPLETED\n"
              "2024-05-17T09:00:00.000Z  COM4  #1  FAIL  57.1 s  no acknowledgement, \"code\" (no "
              "acknowledgement in the code file)\n"
              "2024-05-17T10:00:00.000Z  COM3  #2  INTERRUPTED  (no end line)\n"
              "Totals: 3 units, 1 passed, 1 failed, 0 stopped, 1 interrupted\n"
              "  COM3: 2 units, 1 passed, 0 failed, 0 stopped, 1 interrupted\n"
              "  COM4: 1 units, 0 passed, 1 failed, 0 stopped, 0 interrupted\n"
              "Results:\n"
              "  1  2 DOWNLOAD COMPLETED\n"
              "  1  E no acknowledgement, \"code\"\n"
              "  1  interrupted\n");
    EXPECT_EQ(err.str(),
              "vanto: " + file + " line 7 skipped: last line cut off while it was written\n");
}

TEST_F(VantoRecords, CsvRowsAndFilters) {
    const struct {
        std::vector<std::string> args;
        std::string rows;
    } cases[] = {
        {{"--csv"}, std::string(kPassedRow) + kFailedRow + kInterruptedRow},
        {{"--csv", "--failed"}, std::string(kFailedRow) + kInterruptedRow},
        {{"--csv", "--station", "COM3"}, std::string(kPassedRow) + kInterruptedRow},
        {{"--csv", "--since", "2024-05-17"}, std::string(kFailedRow) + kInterruptedRow},
        {{"--csv", "--since", "2024-05-17T09:30", "--station", "COM3", "--failed"},
         kInterruptedRow},
        {{"--csv", "--station", "COM9"}, ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Run(c.args), kFinished);
        EXPECT_EQ(out.str(), kHeader + c.rows) << c.args.back();
    }
}

TEST_F(VantoRecords, TwoBenchesStationsOfOnePortNameAreTotalledApart) {
    UnitRecord other = Ended(Unit("COM3", 1, "2024-05-17T11:00:00.000Z"),
                             "2024-05-17T11:01:00.000Z", '2', OutcomeClass::kFinished, "done");
    other.constants.host = "bench-3";
    file = folder.Write("two-hosts.jsonl", folder.Read("records.jsonl") + "\n" + EndLine(other))
               .string();
    EXPECT_EQ(Run({}), kFinished);
    const std::string listing = out.str();
    const std::string totals = listing.substr(listing.find("Totals: "));
    EXPECT_EQ(totals.substr(0, totals.find("Results:")),
              "Totals: 4 units, 2 passed, 1 failed, 0 stopped, 1 interrupted\n"
              "  bench-2 COM3: 2 units, 1 passed, 0 failed, 0 stopped, 1 interrupted\n"
              "  bench-2 COM4: 1 units, 0 passed, 1 failed, 0 stopped, 0 interrupted\n"
              "  bench-3 COM3: 1 units, 1 passed, 0 failed, 0 stopped, 0 interrupted\n");
}

TEST_F(VantoRecords, AMissingFileIsAFileErrorAndABadDateBadUsage) {
    // The help names the statuses of this command, not those of a download.
    EXPECT_EQ(Run({"--help"}), kFinished);
    EXPECT_NE(out.str().find("5  the record file cannot be read"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("acknowledgement"), std::string::npos) << out.str();

    file = (folder / "missing.jsonl").string();
    EXPECT_EQ(Run({}), kFileError);
    EXPECT_EQ(err.str(), "vanto: cannot read the record file " + file + "\n");
    file = folder.Path().string();
    EXPECT_EQ(Run({}), kFileError);
    EXPECT_EQ(Run({"--since", "17.05.2024"}), kBadUsage);
}

}  // namespace
}  // namespace dekvanto::cli
