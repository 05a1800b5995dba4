// `vanto records`: the listing with its totals, the CSV rows, and the filters, on a record file
// with a passed, a failed and an interrupted unit and a last line cut off.
#include <gtest/gtest.h>

#include <sstream>

#include "core/record_lines.h"
#include "exit_status.h"
#include "support/temp_folder.h"
#include "vanto_cli.h"

namespace dekvanto::cli {
namespace {

using dekvanto::app::OutcomeClass;
using dekvanto::app::UnitEnd;
using dekvanto::app::UnitRecord;

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
                 const std::string &line) {
    r.end = UnitEnd{ended, 57.125, 22000, result, status, line, {"log"}};
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
                  OutcomeClass::kNoAcknowledgement, "no acknowledgement, \"code\"");
        const UnitRecord interrupted = Unit("COM3", 2, "2024-05-17T10:00:00.000Z");
        const UnitRecord passed_end = Ended(passed, "2024-05-16T10:00:57.200Z", '2',
                                            OutcomeClass::kFinished, "DOWNLOAD COMPLETED");
        file = folder
                   .Write("records.jsonl", StartLine(passed) + "\n" + StartLine(failed) + "\n" +
                                               EndLine(passed_end) + "\n" + EndLine(failed) + "\n" +
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

    dekvanto::app::TempFolder folder;
    std::string file;
    std::ostringstream out;
    std::ostringstream err;
};

constexpr const char *kHeader =
    "started,ended,station,unit,unit_id,outcome,result,status,seconds,bytes,result_line,operator,"
    "host,product,device,usb_serial,loader_sha256,code_sha256,perso_sha256\n";
constexpr const char *kPassedRow =
    "2024-05-16T10:00:00.000Z,2024-05-16T10:00:57.200Z,COM3,1,SN-1,PASS,2,finished,57.125,22000,"
    "DOWNLOAD COMPLETED,Ana,bench-2,,/dev/ttyUSB0,,11,22,\n";
constexpr const char *kFailedRow =
    "2024-05-17T09:00:00.000Z,2024-05-17T09:00:03.000Z,COM4,1,,FAIL,E,no-acknowledgement,57.125,"
    "22000,\"no acknowledgement, \"\"code\"\"\",,bench-2,,/dev/ttyUSB0,,11,22,\n";
constexpr const char *kInterruptedRow =
    "2024-05-17T10:00:00.000Z,,COM3,2,,INTERRUPTED,,,,,,,bench-2,,/dev/ttyUSB0,,11,22,\n";

TEST_F(VantoRecords, ListsUnitsThenTotalsAndReportsTheCutOffLine) {
    EXPECT_EQ(Run({}), kFinished);
    EXPECT_EQ(out.str(),
              "2024-05-16T10:00:00.000Z  COM3  #1 [SN-1]  PASS  57.1 s  DOWNLOAD COMPLETED\n"
              "2024-05-17T09:00:00.000Z  COM4  #1  FAIL  57.1 s  no acknowledgement, \"code\"\n"
              "2024-05-17T10:00:00.000Z  COM3  #2  INTERRUPTED  (no end line)\n"
              "Totals: 3 units, 1 passed, 1 failed, 0 stopped, 1 interrupted\n"
              "  COM3: 2 units, 1 passed, 0 failed, 0 stopped, 1 interrupted\n"
              "  COM4: 1 units, 0 passed, 1 failed, 0 stopped, 0 interrupted\n"
              "Results:\n"
              "  1  2 DOWNLOAD COMPLETED\n"
              "  1  E no acknowledgement, \"code\"\n"
              "  1  interrupted\n");
    EXPECT_EQ(err.str(),
              "vanto: " + file + " line 6 skipped: last line cut off while it was written\n");
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

TEST_F(VantoRecords, AMissingFileIsAFileErrorAndABadDateBadUsage) {
    file = (folder / "missing.jsonl").string();
    EXPECT_EQ(Run({}), kFileError);
    EXPECT_EQ(err.str(), "vanto: cannot read the record file " + file + "\n");
    file = folder.Path().string();
    EXPECT_EQ(Run({}), kFileError);
    EXPECT_EQ(Run({"--since", "17.05.2024"}), kBadUsage);
}

}  // namespace
}  // namespace dekvanto::cli
