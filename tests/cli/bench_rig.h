// What the tests of `vanto bench` share: the sample set and a private port register (from the
// download rig), simulated lines on which phones come and go, the bench's command line, a bench
// left running in the middle of its third unit, and the record file read back line by line and
// paired per unit, without the product's record reader.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "download_rig.h"
#include "sim/phone_simulator.h"
#include "vanto_process.h"

namespace dekvanto::cli {

// One station's line in the record: its start line and, once it ended, its end line.
struct RecordedUnitLines {
    nlohmann::json start;
    nlohmann::json end;      // null while the unit has no end line
    nlohmann::json removed;  // null until its phone was found gone
};

// (station, unit) -> its lines.
using RecordedUnits = std::map<std::pair<std::string, int>, RecordedUnitLines>;

// `plan` with the fault of one of its units added (as "3:delay=60000@erase-start" says it).
inline sim::UnitPlan WithUnitFault(sim::UnitPlan plan, const std::string &fault) {
    std::string error;
    const auto parsed = sim::ParseUnitFault(fault, error);
    EXPECT_TRUE(parsed) << error;
    if (parsed) {
        plan.unit_faults.push_back(*parsed);
    }
    return plan;
}

class BenchRig {
  public:
    BenchRig() { rig.phone.delays = {5, 20, 20, 20, 5}; }

    // Phones that come and go without end: one after each unit, once the station has found the
    // line empty once.
    static sim::UnitPlan Endless() {
        sim::UnitPlan plan;
        plan.enabled = true;
        plan.units = 0;
        return plan;
    }

    // A line with phones as `plan` says, each as rig.phone describes; its port name is in
    // ports.
    sim::PhoneSimulator &AddLine(const sim::UnitPlan &plan,
                                 const sim::PhoneConfig *phone = nullptr) {
        lines.push_back(std::make_unique<sim::PhoneSimulator>(phone ? *phone : rig.phone, plan));
        EXPECT_TRUE(lines.back()->Start()) << lines.back()->SetupError();
        ports.push_back("COM" + std::to_string(lines.back()->PortNumber()));
        return *lines.back();
    }

    // "vanto bench" on every line added, the sample set, the record file and a short poll.
    std::vector<std::string> Args(std::vector<std::string> more = {}) const {
        std::string port_list;
        for (const std::string &port : ports) {
            port_list += (port_list.empty() ? "" : ",") + port;
        }
        std::vector<std::string> args{"bench",
                                      "--port",
                                      port_list,
                                      "--loader",
                                      rig.files.loader.string(),
                                      "--code",
                                      rig.files.code.string(),
                                      "--perso",
                                      rig.files.perso.string(),
                                      "--record",
                                      record,
                                      "--poll",
                                      "0.05"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Starts the bench, in a process group of its own, with --events and `more` on one line
    // whose third phone, once it has the code file, takes `erase_ms` to begin erasing (the
    // download waits up to 20 s for that), and returns once that unit runs.
    void StartUntilThirdUnitRuns(int erase_ms, std::vector<std::string> more = {}) {
        AddLine(WithUnitFault(Endless(), "3:delay=" + std::to_string(erase_ms) + "@erase-start"));
        more.insert(more.begin(), "--events");
        bench = std::make_unique<VantoProcess>(Args(more), /*own_group=*/true);
        ASSERT_TRUE(
            bench->ReadUntil("\"event\":\"unit-end\",\"station\":\"" + ports[0] + "\",\"unit\":2,"))
            << bench->Seen();
        ASSERT_TRUE(bench->ReadUntil("\"unit\":3,\"line\":\"Download " + rig.files.code.string()))
            << bench->Seen();
    }

    // Every line of the record as JSON: each must parse by itself.
    std::vector<nlohmann::json> RecordLines() const {
        std::vector<nlohmann::json> lines;
        std::ifstream in(record, std::ios::binary);
        std::size_t number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
            EXPECT_FALSE(value.is_discarded()) << "record line " << number << ": " << line;
            lines.push_back(std::move(value));
        }
        return lines;
    }

    // The record's units, each start line paired with the end line after it, and its removal
    // line after that. A second start or end line of one unit, an end before its start, or a
    // removal before its end, is a failure.
    RecordedUnits Units() const {
        RecordedUnits units;
        for (const nlohmann::json &line : RecordLines()) {
            const auto key = std::make_pair(line.value("station", ""), line.value("unit", 0));
            RecordedUnitLines &unit = units[key];
            const std::string event = line.value("event", "");
            const std::string name = key.first + " #" + std::to_string(key.second);
            if (event == "removed") {
                EXPECT_FALSE(unit.end.is_null()) << name << " removed before it ended";
                EXPECT_TRUE(unit.removed.is_null()) << name << " removed twice";
                unit.removed = line;
            } else if (event == "start") {
                EXPECT_TRUE(unit.start.is_null() && unit.end.is_null()) << name << " started again";
                unit.start = line;
            } else {
                EXPECT_EQ(event, "end") << name;
                EXPECT_FALSE(unit.start.is_null()) << name << " ended before it started";
                EXPECT_TRUE(unit.end.is_null()) << name << " ended twice";
                unit.end = line;
            }
        }
        return units;
    }

    // The units each line's phones reported once gone, stopping the lines first.
    std::vector<std::vector<sim::UnitReport>> StopLines() {
        std::vector<std::vector<sim::UnitReport>> reports;
        for (auto &line : lines) {
            line->Stop();
            line->Finish();
            reports.push_back(line->TakeUnits(std::chrono::milliseconds(0)));
        }
        return reports;
    }

    testing::DownloadRig rig{{1000, 20000, 1500}};
    std::string record = (rig.folder / "records.jsonl").string();
    std::vector<std::unique_ptr<sim::PhoneSimulator>> lines;
    std::vector<std::string> ports;
    std::unique_ptr<VantoProcess> bench;  // the one StartUntilThirdUnitRuns started
};

}  // namespace dekvanto::cli
