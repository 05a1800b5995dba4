// `vanto bench` as a production line runs it, against simulated phones that come and go: every
// phone flashed once and recorded, failures recorded as they came out, a bench killed or stopped
// in the middle of a unit, scanned identifiers, and a record file that cannot be written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "core/records/sha256.h"
#include "dekvanto/platform/port_register.h"
#include "exit_status.h"
#include "sample_download.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

std::string DigestOf(const std::vector<uint8_t> &bytes) {
    dekvanto::core::Sha256 digest;
    digest.Add(bytes);
    return digest.HexDigest().value_or("no digest");
}

class VantoBench : public ::testing::Test, protected BenchRig {
  protected:
    // The record after the third unit was cut off: the first two whole, the third interrupted,
    // as the record's listing shows it.
    void ExpectThirdUnitInterrupted() {
        const RecordedUnits units = Units();
        ASSERT_EQ(units.size(), 3u);
        EXPECT_EQ(units.at({ports[0], 1}).end["status"], "finished");
        EXPECT_EQ(units.at({ports[0], 2}).end["status"], "finished");
        EXPECT_TRUE(units.at({ports[0], 3}).end.is_null());
        VantoProcess listing({"records", record});
        EXPECT_EQ(listing.Wait(), kFinished);
        EXPECT_NE(listing.Seen().find(ports[0] + "  #3  INTERRUPTED"), std::string::npos)
            << listing.Seen();
    }
};

TEST_F(VantoBench, TwoStationsFlashEveryPhoneOnceAndRecordEachUnitAsItCameOut) {
    // The first phone of each line fails its own way; the phones of the first line stay after
    // a good unit, answering two probes before they go.
    sim::UnitPlan staying = WithUnitFault(Endless(), "1:silent@code-block:1");
    staying.stay_attempts = 2;
    AddLine(staying);
    AddLine(WithUnitFault(Endless(), "1:nak@perso-block:1"));
    const int count = 7;
    VantoProcess bench(Args({"--count", std::to_string(count), "--operator", "Ana"}));
    const int status = bench.Wait();
    const std::vector<std::vector<sim::UnitReport>> phones = StopLines();

    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), static_cast<std::size_t>(count)) << bench.Seen();
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files{
        {"loader", rig.files.loader_bytes},
        {"code", rig.files.code_bytes},
        {"perso", rig.files.perso_bytes}};
    int failed = 0;
    for (const auto &[key, lines] : units) {
        const auto &[station, unit] = key;
        SCOPED_TRACE(station + " #" + std::to_string(unit));
        ASSERT_FALSE(lines.end.is_null()) << "no end line";
        EXPECT_EQ(lines.end["operator"], "Ana");
        EXPECT_EQ(lines.end["started"], lines.start["started"]);
        ASSERT_EQ(lines.end["files"].size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(lines.end["files"][i]["role"], files[i].first);
            EXPECT_EQ(lines.end["files"][i]["size"], files[i].second.size());
            EXPECT_EQ(lines.end["files"][i]["sha256"], DigestOf(files[i].second));
        }
        const bool first_line = station == ports[0];
        std::string words = "PASS";
        if (unit == 1) {
            ++failed;
            EXPECT_EQ(lines.end["result"], first_line ? "H" : "G");
            EXPECT_EQ(lines.end["status"], "no-acknowledgement");
            words = first_line ? "FAIL no acknowledgement in the code file"
                               : "FAIL bad acknowledgement in the personalization file";
            // The record keeps the bench's words beside the engine's result line.
            EXPECT_EQ("FAIL " + lines.end["reason"].get<std::string>(), words);
        } else {
            EXPECT_TRUE(lines.end["reason"].is_null());
            EXPECT_EQ(lines.end["result"], "2");
            EXPECT_EQ(lines.end["status"], "finished");
        }
        EXPECT_NE(bench.Seen().find(station + " #" + std::to_string(unit) + " " + words),
                  std::string::npos)
            << bench.Seen();
        // The phone behind this unit was flashed, once.
        const auto &reports = phones[first_line ? 0 : 1];
        ASSERT_GE(reports.size(), static_cast<std::size_t>(unit));
        EXPECT_EQ(reports[unit - 1].flashings, 1u);
    }
    for (std::size_t line = 0; line < phones.size(); ++line) {
        for (const sim::UnitReport &phone : phones[line]) {
            EXPECT_LE(phone.flashings, 1u) << ports[line] << " phone " << phone.unit;
        }
    }
    EXPECT_NE(bench.Seen().find("Totals: " + std::to_string(count) +
                                " units: " + std::to_string(count - failed) + " PASS, " +
                                std::to_string(failed) + " FAIL, 0 STOPPED"),
              std::string::npos)
        << bench.Seen();
    // And per station, adding up to the totals.
    int per_station = 0;
    for (const std::string &port : ports) {
        const auto at = bench.Seen().find("\n  " + port + ": ");
        ASSERT_NE(at, std::string::npos) << bench.Seen();
        per_station += std::stoi(bench.Seen().substr(at + port.size() + 5));
    }
    EXPECT_EQ(per_station, count);
    EXPECT_EQ(status, failed > 0 ? kUnitsFailed : kFinished) << bench.Seen();
}

TEST_F(VantoBench, KilledInTheMiddleOfAUnitLeavesItInterruptedAndEveryEarlierUnitWhole) {
    StartUntilThirdUnitRuns(60000);
    const std::vector<std::string> stations = ChildrenOf(bench->Pid());
    ASSERT_EQ(stations.size(), 1u);
    ::kill(-static_cast<pid_t>(bench->Pid()), SIGKILL);  // the bench and its station at once
    EXPECT_EQ(bench->Wait(), -1);
    StopLines();
    ExpectThirdUnitInterrupted();
}

TEST_F(VantoBench, AStationWhoseBenchIsKilledStopsItsUnitAndRecordsItStopped) {
    // The station, orphaned, comes to this process, which can then wait for it.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    StartUntilThirdUnitRuns(10000);
    const std::vector<std::string> stations = ChildrenOf(bench->Pid());
    ASSERT_EQ(stations.size(), 1u);
    ::kill(static_cast<pid_t>(bench->Pid()), SIGKILL);  // the bench alone
    EXPECT_EQ(bench->Wait(), -1);
    int wait_status = 0;
    ASSERT_EQ(::waitpid(std::stoi(stations[0]), &wait_status, 0), std::stoi(stations[0]));
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_TRUE(WIFEXITED(wait_status)) << "signal " << WTERMSIG(wait_status);
    EXPECT_EQ(WEXITSTATUS(wait_status), kStopped);
    StopLines();
    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units.at({ports[0], 3}).end["status"], "stopped");
}

TEST_F(VantoBench, AStationKilledInAUnitIsReportedInterruptedByTheBench) {
    StartUntilThirdUnitRuns(60000);
    const std::vector<std::string> stations = ChildrenOf(bench->Pid());
    ASSERT_EQ(stations.size(), 1u);
    ::kill(std::stol(stations[0]), SIGKILL);
    EXPECT_EQ(bench->Wait(), kOtherFailure) << bench->Seen();
    StopLines();
    ExpectThirdUnitInterrupted();
    EXPECT_NE(bench->Seen().find(ports[0] + " #3 INTERRUPTED: the station's process ended before "
                                            "its unit did\n"),
              std::string::npos)
        << bench->Seen();
    EXPECT_NE(bench->Seen().find("Totals: 3 units: 2 PASS, 0 FAIL, 0 STOPPED, 1 INTERRUPTED"),
              std::string::npos)
        << bench->Seen();
    EXPECT_NE(bench->Seen().find("{\"event\":\"unit-end\",\"station\":\"" + ports[0] +
                                 "\",\"unit\":3,\"result\":null,\"status\":1,"),
              std::string::npos)
        << bench->Seen();
}

TEST_F(VantoBench, TerminatedInTheMiddleOfAUnitStopsItAndRecordsItStoppedAsCtrlCDoes) {
    // The download looks at a stop between its blocks and steps: the unit stops there, at the
    // latest once the phone begins erasing. SIGTERM (a service manager, a closed session) is
    // taken as Ctrl-C.
    StartUntilThirdUnitRuns(10000);
    bench->Signal(SIGTERM);
    EXPECT_EQ(bench->Wait(), kStopped) << bench->Seen();
    StopLines();

    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 3u);
    const nlohmann::json &stopped = units.at({ports[0], 3}).end;
    ASSERT_FALSE(stopped.is_null());
    EXPECT_EQ(stopped["status"], "stopped");
    EXPECT_TRUE(stopped["result"] == "3" || stopped["result"] == "4") << stopped["result"];
    EXPECT_NE(bench->Seen().find(ports[0] + " #3 STOPPED"), std::string::npos) << bench->Seen();
    EXPECT_NE(bench->Seen().find("\"unit\":3,\"result\":\"" + stopped["result"].get<std::string>() +
                                 "\",\"status\":3,"),
              std::string::npos)
        << bench->Seen();
}

TEST_F(VantoBench, OneStationStopsAndStartsAgainWhileTheOtherFlashesOn) {
    // The second line never gets a phone: its station waits from the start.
    sim::UnitPlan empty = Endless();
    empty.before_first = {1000000, 0};
    AddLine(WithUnitFault(Endless(), "1:delay=10000@erase-start"));
    AddLine(empty);
    bench = std::make_unique<VantoProcess>(Args({"--events"}), /*own_group=*/true);
    const auto event = [](const std::string &port, int unit, const std::string &kind) {
        return "\"event\":\"" + kind + "\",\"station\":\"" + port +
               "\",\"unit\":" + std::to_string(unit) + ",";
    };
    ASSERT_TRUE(bench->ReadUntil(event(ports[1], 1, "waiting"))) << bench->Seen();
    bench->Write("stop " + ports[1] + "\n");
    ASSERT_TRUE(bench->ReadUntil(event(ports[1], 1, "station") + "\"state\":\"stopped\""))
        << bench->Seen();
    // The first station's first unit takes long: it is stopped in the middle.
    ASSERT_TRUE(bench->ReadUntil("\"unit\":1,\"line\":\"Download " + rig.files.code.string()))
        << bench->Seen();
    bench->Write("Stop com" + ports[0].substr(3) + "\n");  // as typed, in any letter case
    ASSERT_TRUE(bench->ReadUntil(event(ports[0], 1, "unit-end"))) << bench->Seen();
    ASSERT_TRUE(bench->ReadUntil(event(ports[0], 2, "station") + "\"state\":\"stopped\""))
        << bench->Seen();
    // The stopped unit's phone is taken away before the station is started again, as an operator
    // does: a phone still in the middle of a download would take the next attempt for its own.
    ASSERT_EQ(lines[0]->TakeUnits(std::chrono::seconds(60)).size(), 1u);
    // Started again, its unit numbers go on after the unit it began.
    bench->Write("start " + ports[0] + "\n");
    ASSERT_TRUE(bench->ReadUntil(event(ports[0], 2, "station") + "\"state\":\"running\""))
        << bench->Seen();
    ASSERT_TRUE(bench->ReadUntil(event(ports[0], 2, "unit-end"))) << bench->Seen();
    bench->Signal(SIGINT);
    EXPECT_EQ(bench->Wait(), kStopped) << bench->Seen();
    StopLines();

    // Units() fails on a unit number given twice at a station.
    const RecordedUnits units = Units();
    EXPECT_EQ(units.count({ports[1], 1}), 0u);
    ASSERT_EQ(units.count({ports[0], 2}), 1u) << bench->Seen();
    EXPECT_EQ(units.at({ports[0], 1}).end["status"], "stopped");
    EXPECT_EQ(units.at({ports[0], 2}).end["status"], "finished");
    EXPECT_NE(bench->Seen().find(ports[0] + " #1 STOPPED"), std::string::npos) << bench->Seen();
}

TEST_F(VantoBench, ScannedIdentifiersGoToTheirStationsAndIntoTheRecord) {
    AddLine(Endless());
    AddLine(Endless());
    VantoProcess bench(Args({"--scan"}));
    // A scanner types the port in any letter case; a line for no station flashes nothing.
    bench.Write(ports[0] + " SN-A1\n");
    bench.Write("COM999 SN-X\n");
    bench.Write("SN-Y\n");
    bench.Write("com" + ports[1].substr(3) + "  SN-B1 ");  // the last line, without its end
    bench.CloseInput();
    EXPECT_EQ(bench.Wait(), kFinished) << bench.Seen();
    StopLines();

    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 2u) << bench.Seen();
    EXPECT_EQ(units.at({ports[0], 1}).end["unit_id"], "SN-A1");
    EXPECT_EQ(units.at({ports[1], 1}).end["unit_id"], "SN-B1");
    EXPECT_EQ(units.at({ports[1], 1}).end["status"], "finished");
    EXPECT_NE(bench.Seen().find("\"COM999 SN-X\" is not taken: no station COM999 on this bench"),
              std::string::npos)
        << bench.Seen();
    EXPECT_NE(bench.Seen().find("\"SN-Y\" is not taken: not for a station"), std::string::npos)
        << bench.Seen();
}

TEST_F(VantoBench, BlindBenchStartsOnlyWithScannedUnits) {
    sim::PhoneConfig blind_phone = rig.phone;
    blind_phone.acknowledged = false;
    AddLine(Endless(), &blind_phone);

    VantoProcess refused(Args({"--blind"}));
    EXPECT_EQ(refused.Wait(), kBadUsage);
    EXPECT_EQ(refused.Seen(),
              "vanto: in blind mode the line cannot tell whether a phone is there: a blind bench "
              "needs --scan\n");
    EXPECT_FALSE(std::filesystem::exists(record));

    VantoProcess bench(Args({"--blind", "--reboot-delay", "0", "--scan"}));
    bench.Write("SN-7\n");
    bench.CloseInput();
    EXPECT_EQ(bench.Wait(), kFinished) << bench.Seen();
    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 1u) << bench.Seen();
    const nlohmann::json &unit = units.begin()->second.end;
    EXPECT_EQ(unit["unit_id"], "SN-7");
    EXPECT_EQ(unit["settings"]["mode"], "blind");
    EXPECT_EQ(unit["result"], "2");
    EXPECT_EQ(StopLines()[0].size(), 1u) << "one phone flashed";
}

TEST_F(VantoBench, ARecordThatCannotBeWrittenRefusesTheStartBeforeAnyPhoneIsTouched) {
    AddLine(Endless());
    for (const std::string &path :
         {(rig.folder / "missing" / "records.jsonl").string(), rig.folder.Path().string()}) {
        SCOPED_TRACE(path);
        record = path;
        VantoProcess bench(Args());
        EXPECT_EQ(bench.Wait(), kFileError);
        EXPECT_EQ(bench.Seen().rfind("vanto: ", 0), 0u) << bench.Seen();
        EXPECT_NE(bench.Seen().find(path), std::string::npos) << bench.Seen();
    }
    EXPECT_TRUE(StopLines()[0].empty()) << "no phone flashed";
}

TEST_F(VantoBench, WithScanningAPhoneThatStaysIsNeverFlashedAgainNorCreditedToTheNextIdentifier) {
    sim::UnitPlan staying = Endless();
    staying.stay_attempts = 3;
    AddLine(staying);
    VantoProcess bench(Args({"--scan"}));
    bench.Write("SN-0001\nSN-0001\nSN-0002\n");
    bench.CloseInput();
    EXPECT_EQ(bench.Wait(), kFinished) << bench.Seen();
    const std::vector<std::vector<sim::UnitReport>> phones = StopLines();
    EXPECT_NE(bench.Seen().find("\"SN-0001\" is not taken: already scanned"), std::string::npos)
        << bench.Seen();
    ASSERT_GE(phones[0].size(), 2u) << bench.Seen();
    EXPECT_EQ(phones[0][0].flashings, 1u);
    EXPECT_GE(phones[0][0].probes, 1u);  // it stayed, and was only probed
    EXPECT_EQ(phones[0][1].flashings, 1u);
    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units.at({ports[0], 1}).end["unit_id"], "SN-0001");
    EXPECT_EQ(units.at({ports[0], 2}).end["unit_id"], "SN-0002");
    EXPECT_FALSE(units.at({ports[0], 1}).removed.is_null()) << "its removal is recorded";
}

TEST_F(VantoBench, ABenchStartedAgainWaitsForThePhoneItsLastRunFlashed) {
    sim::UnitPlan staying = Endless();
    staying.units = 2;
    staying.stay_attempts = 4;
    AddLine(staying);
    VantoProcess first(Args({"--count", "1"}));
    EXPECT_EQ(first.Wait(), kFinished) << first.Seen();
    // The bench ended with the good phone still there: the next run must not flash it again.
    VantoProcess again(Args({"--count", "1"}));
    EXPECT_EQ(again.Wait(), kFinished) << again.Seen();
    const std::vector<std::vector<sim::UnitReport>> phones = StopLines();
    ASSERT_EQ(phones[0].size(), 2u) << again.Seen();
    EXPECT_EQ(phones[0][0].flashings, 1u) << "flashed a second time";
    EXPECT_EQ(phones[0][1].flashings, 1u);
    std::vector<std::string> events;
    for (const nlohmann::json &line : RecordLines()) {
        events.push_back(line["event"].get<std::string>() + " " +
                         std::to_string(line["unit"].get<int>()));
    }
    EXPECT_EQ(events,
              (std::vector<std::string>{"start 1", "end 1", "removed 1", "start 1", "end 1"}));
}

TEST_F(VantoBench, WhatChangesUnderARunningBenchIsNeverRecordedFalsely) {
    AddLine(Endless());
    VantoProcess bench(Args({"--scan", "--events"}));
    const auto unit_end = [this](int unit) {
        return "\"event\":\"unit-end\",\"station\":\"" + ports[0] +
               "\",\"unit\":" + std::to_string(unit) + ",";
    };
    bench.Write("SN-1\n");
    // Once the first phone has gone (its removal is recorded), the record file is taken away
    // (rotated): the next unit is recorded in a new one at its path.
    ASSERT_TRUE(bench.ReadUntil("\"station\":\"" + ports[0] + "\",\"unit\":2,\"for\":\"phone\""))
        << bench.Seen();
    const std::string rotated = record + ".1";
    std::filesystem::rename(record, rotated);
    bench.Write("SN-2\n");
    ASSERT_TRUE(bench.ReadUntil(unit_end(2))) << bench.Seen();
    // A release copied over the code file: the next phone is not flashed with it under the
    // digest the bench began with.
    std::vector<uint8_t> release = rig.files.code_bytes;
    release[100] ^= 0xFF;
    {
        std::ofstream code(rig.files.code, std::ios::binary | std::ios::trunc);
        code.write(reinterpret_cast<const char *>(release.data()),
                   static_cast<std::streamsize>(release.size()));
    }
    bench.Write("SN-3\n");
    bench.CloseInput();
    EXPECT_EQ(bench.Wait(), kFileError) << bench.Seen();
    const std::vector<std::vector<sim::UnitReport>> phones = StopLines();
    EXPECT_NE(bench.Seen().find("the code file " + rig.files.code.string() +
                                " has changed since the bench started"),
              std::string::npos)
        << bench.Seen();
    for (const sim::UnitReport &phone : phones[0]) {
        EXPECT_LE(phone.flashings, 1u);
        EXPECT_TRUE(phone.unit <= 2 || phone.flashings == 0) << "phone " << phone.unit;
    }
    const RecordedUnits units = Units();  // the file at the path
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units.begin()->second.end["unit_id"], "SN-2");
    std::ifstream old(rotated);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(old), {}, '\n'), 3)
        << "start, end, removal";
}

TEST_F(VantoBench, AFileChangedWhileABlindUnitRunsFailsIt) {
    // A blind unit starts with its identifier, before the line is touched. The code file is
    // replaced while the bench waits five seconds for the phone to restart: the unit cannot be a
    // PASS.
    sim::PhoneConfig blind_phone = rig.phone;
    blind_phone.acknowledged = false;
    AddLine(Endless(), &blind_phone);
    VantoProcess bench(Args({"--blind", "--reboot-delay", "5", "--scan", "--events"}));
    bench.Write("SN-1\n");
    ASSERT_TRUE(bench.ReadUntil("\"unit\":1,\"line\":\"Download " + rig.files.code.string()))
        << bench.Seen();
    std::vector<uint8_t> release = rig.files.code_bytes;
    release[100] ^= 0xFF;
    {
        std::ofstream code(rig.files.code, std::ios::binary | std::ios::trunc);
        code.write(reinterpret_cast<const char *>(release.data()),
                   static_cast<std::streamsize>(release.size()));
    }
    bench.CloseInput();
    EXPECT_EQ(bench.Wait(), kFileError) << bench.Seen();
    StopLines();
    const RecordedUnits units = Units();
    ASSERT_EQ(units.size(), 1u) << bench.Seen();
    const nlohmann::json &unit = units.begin()->second.end;
    EXPECT_EQ(unit["unit_id"], "SN-1");
    EXPECT_EQ(unit["status"], "file-error");
    EXPECT_EQ(unit["reason"], "the code file " + rig.files.code.string() +
                                  " has changed since the bench started: what the phone "
                                  "received is not known");
}

TEST_F(VantoBench, APortWhoseRegisterEntryGoesStopsItsStationInsteadOfFallingBack) {
    AddLine(Endless());
    VantoProcess bench(Args({"--scan", "--events"}));
    bench.Write("SN-1\n");
    ASSERT_TRUE(bench.ReadUntil("\"unit\":1,\"result\":\"2\"")) << bench.Seen();
    const std::string entry =
        platform::PortEntryPath(platform::PortRegisterDirectory(), std::stoi(ports[0].substr(3)))
            .string();
    ASSERT_TRUE(std::filesystem::remove(entry));
    bench.Write("SN-2\n");
    bench.CloseInput();
    // The station ends before any attempt on the port the name would fall back to.
    ASSERT_TRUE(bench.ReadUntil("\"station\":\"" + ports[0] + "\",\"unit\":2,\"state\":\"ended\""))
        << bench.Seen();
    EXPECT_EQ(bench.Wait(), kPortError) << bench.Seen();
    StopLines();
    EXPECT_NE(bench.Seen().find(ports[0] + " now leads to "), std::string::npos) << bench.Seen();
    EXPECT_EQ(Units().size(), 1u);
}

TEST_F(VantoBench, WhatABenchRefusesBeforeAnyPhoneIsTouched) {
    AddLine(Endless());
    const std::vector<std::pair<std::vector<std::string>, int>> refused{
        {{"--step"}, kBadUsage},
        {{"--count", "0"}, kBadUsage},
        {{"--reboot-delay", "100000"}, kBadUsage},
        {{"--poll", "0"}, kBadUsage},
    };
    for (const auto &[more, status] : refused) {
        VantoProcess bench(Args(more));
        EXPECT_EQ(bench.Wait(), status) << more[0] << ": " << bench.Seen();
    }
    // A port that does not exist: its station cannot start.
    std::vector<std::string> missing = Args();
    missing[2] = "COM99";
    VantoProcess no_port(missing);
    EXPECT_EQ(no_port.Wait(), kPortError) << no_port.Seen();
    VantoProcess help({"bench", "--help"});
    EXPECT_EQ(help.Wait(), kFinished);
    EXPECT_EQ(help.Seen().find("--step"), std::string::npos) << help.Seen();
    EXPECT_TRUE(StopLines()[0].empty()) << "no phone flashed";
}

}  // namespace
}  // namespace dekvanto::cli
