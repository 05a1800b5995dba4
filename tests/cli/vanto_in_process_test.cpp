// vanto run inside the test process against the simulated phone: what a script sees (exit
// status, log lines, JSON, the trace) for whole downloads and for each class of failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/download/download_events.h"
#include "dekvanto/firmware_image.h"
#include "download_rig.h"
#include "exit_status.h"
#include "sample_download.h"
#include "sim/phone_simulator.h"
#include "support/temp_folder.h"
#include "vanto_cli.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::DownloadEvent;
using dekvanto::core::EventKind;
using dekvanto::core::TempFolder;

// Standard input whose first read is a Ctrl-C: the user answers a step-mode prompt with it.
class InterruptingInput : public std::streambuf {
  protected:
    int_type underflow() override {
        ::raise(SIGINT);
        return traits_type::eof();
    }
};

class VantoInProcess : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args, std::istream *in = nullptr) {
        out.str("");
        err.str("");
        std::istringstream none;
        Console console{out, err, in != nullptr ? *in : none, -1, false};
        return RunVanto(args, console, Context{DEKVANTO_ENGINE_LIBRARY, VANTO_PROGRAM});
    }

    std::vector<std::string> DownloadArgs(const std::string &port) const {
        return SampleDownloadArgs(paths, port);
    }

    dekvanto::testing::DownloadRig rig{{1000, 20000, 1500}};
    const TempFolder &folder = rig.folder;
    const dekvanto::image::SampleSetPaths &paths = rig.files;
    dekvanto::sim::PhoneConfig &phone = rig.phone;
    std::ostringstream out;
    std::ostringstream err;
};

// The bytes of one direction and phase in a trace file, in order.
std::vector<uint8_t> TracedBytes(const std::string &trace, const std::string &direction,
                                 const std::string &phase) {
    std::vector<uint8_t> bytes;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string seconds, dir, ph, hex;
        fields >> seconds >> dir >> ph;
        if (dir != direction || ph != phase) {
            continue;
        }
        while (fields >> hex && hex[0] != '|') {
            bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
        }
    }
    return bytes;
}

bool Contains(const std::vector<uint8_t> &stream, const std::vector<uint8_t> &part) {
    return std::search(stream.begin(), stream.end(), part.begin(), part.end()) != stream.end();
}

TEST_F(VantoInProcess, WholeDownloadWithJsonAndATraceOfTheBytesThePhoneGot) {
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    auto args = DownloadArgs("COM" + std::to_string(simulator.PortNumber()));
    const std::string trace_file = (folder / "trace.txt").string();
    args.insert(args.end(), {"--json", "--trace", trace_file});

    EXPECT_EQ(Run(args), kFinished) << err.str();
    const dekvanto::sim::Summary summary = simulator.Finish(std::chrono::seconds(120));
    EXPECT_TRUE(summary.consistent);

    const auto json = nlohmann::json::parse(out.str());  // standard output holds only the JSON
    EXPECT_EQ(json["result"], "2");
    EXPECT_EQ(json["status"], 0);
    EXPECT_EQ(json["bytes"], 1000 + 20000 + 1500);
    EXPECT_EQ(json["lines"].back(),
              "------------------------DOWNLOAD COMPLETED--------------------------");
    EXPECT_EQ(json["lines"].front(), "Mapping compatibility is OK, domwnload start.");
    EXPECT_NE(err.str().find("progress 100%"), std::string::npos);  // the log went to stderr

    const std::string trace = folder.Read("trace.txt");
    // The code file's data went out in its phase, framed in blocks: its first and last bytes
    // appear in the sent stream as the phone recorded them.
    const auto sent_code = TracedBytes(trace, "PC>", "code");
    ASSERT_EQ(summary.code.size(), 20000u);
    EXPECT_TRUE(Contains(sent_code, {summary.code.begin(), summary.code.begin() + 200}));
    EXPECT_TRUE(Contains(sent_code, {summary.code.end() - 16, summary.code.end()}));
    EXPECT_TRUE(Contains(TracedBytes(trace, "PC>", "perso"),
                         {summary.perso.begin(), summary.perso.begin() + 100}));
    EXPECT_TRUE(Contains(TracedBytes(trace, "PC>", "loader"),
                         {summary.loader.begin(), summary.loader.begin() + 32}));
    // What the phone answered, phase by phase.
    EXPECT_EQ(TracedBytes(trace, "<PHONE", "erase"), (std::vector<uint8_t>{'8', '8'}));
    EXPECT_EQ(TracedBytes(trace, "<PHONE", "restart"), (std::vector<uint8_t>{'8'}));
    EXPECT_EQ(TracedBytes(trace, "PC>", "request"), (std::vector<uint8_t>{0x43}));
    ASSERT_TRUE(summary.target_byte.has_value());
    EXPECT_EQ(TracedBytes(trace, "PC>", "line-setup").front(), *summary.target_byte);
}

// A file name in an 8-bit code page comes back in the log lines: the summary is still written.
TEST_F(VantoInProcess, AFileNameThatIsNotUtf8StillGivesTheSummary) {
    const auto code = folder /
                      "c\xf4"
                      "de.bin";
    std::filesystem::copy_file(paths.code, code);
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    EXPECT_EQ(Run({"download", "--port", "COM" + std::to_string(simulator.PortNumber()), "--loader",
                   paths.loader.string(), "--code", code.string(), "--json"}),
              kFinished)
        << err.str();
    EXPECT_TRUE(simulator.Finish(std::chrono::seconds(120)).consistent);
    EXPECT_EQ(nlohmann::json::parse(out.str())["result"], "2");
}

TEST_F(VantoInProcess, CtrlCAtAStepPromptStopsAndLeavesThePortFree) {
    phone.end_on_release = false;  // the line stays, to be opened again after the tool
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    auto args = DownloadArgs("COM" + std::to_string(simulator.PortNumber()));
    args.push_back("--step");
    InterruptingInput interrupting;
    std::istream in(&interrupting);

    EXPECT_EQ(Run(args, &in), kStopped) << out.str() << err.str();
    EXPECT_NE(out.str().find("------------------------DOWNLOAD CANCELED----------------------"
                             "-------"),
              std::string::npos)
        << out.str();
    // The port is usable again at once: it opens and takes an exclusive lock.
    const int fd = ::open(simulator.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    simulator.Stop();
    simulator.Finish();
}

TEST_F(VantoInProcess, PhoneFailuresEndWithTheirClassStatus) {
    struct Case {
        std::string fault;
        std::vector<std::string> extra;
        int status;
        std::string last_line;
    };
    const std::vector<Case> cases = {
        {"silent@line",
         {},
         kNoAcknowledgement,
         "-------------- Not acknowledge,  Connection lost -------------------"},
        {"nak@code-block:2",
         {},
         kNoAcknowledgement,
         "-------------- Bad acknowledge,  Connection lost -------------------"},
        {"badsync@loader-ready",
         {},
         kNoAcknowledgement,
         "-------------- Mobile and PC can't be synchronized -------------------"},
    };
    for (const Case &c : cases) {
        dekvanto::sim::PhoneSimulator simulator(WithFault(phone, c.fault));
        ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
        auto args = DownloadArgs("COM" + std::to_string(simulator.PortNumber()));
        args.push_back("--json");
        EXPECT_EQ(Run(args), c.status) << c.fault << err.str();
        const auto json = nlohmann::json::parse(out.str());
        EXPECT_EQ(json["lines"].back(), c.last_line) << c.fault;
        simulator.Stop();
        simulator.Finish();
    }
}

TEST_F(VantoInProcess, SettingsTheEngineRefusesComeFromTheSettingsFile) {
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    const auto ini =
        folder.Write("MX40.ini", "[Setting]\nCOM=COM" + std::to_string(simulator.PortNumber()) +
                                     "\nSpeed=7\n[Debug]\nAcknowledge=1\n");
    EXPECT_EQ(Run({"download", "--settings", ini.string(), "--loader", paths.loader.string()}),
              kUnsupportedSetting)
        << err.str();
    EXPECT_NE(out.str().find("---------------------Speed not supported-------------------------"),
              std::string::npos);
    simulator.Stop();
    simulator.Finish();
}

TEST_F(VantoInProcess, ProductFromTheListBesideTheSettingsFile) {
    folder.Write("cfg/dekvanto.cfg",
                 "\"Vanto S\" loader.bin 16 2 0\n\"Vanto P\" loader.bin 4 0 1\n");
    std::filesystem::copy_file(paths.loader, folder / "cfg/loader.bin");
    const auto ini = folder.Write("cfg/MX40.ini", "[Setting]\nCOM=COM1\n");
    // An unknown product, and personalization for a product that takes none: usage errors.
    EXPECT_EQ(Run({"download", "--settings", ini.string(), "--product", "Vanto X"}), kBadUsage);
    EXPECT_NE(err.str().find("unknown product \"Vanto X\""), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("\"Vanto S\", \"Vanto P\""), std::string::npos);
    EXPECT_EQ(Run({"download", "--settings", ini.string(), "--product", "vanto s", "--perso",
                   paths.perso.string()}),
              kBadUsage);
    // A bus width of 4 bits reaches the engine as it stands and is refused there.
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    EXPECT_EQ(Run({"download", "--settings", ini.string(), "--product", "Vanto P", "--port",
                   "COM" + std::to_string(simulator.PortNumber())}),
              kUnsupportedSetting)
        << err.str();
    EXPECT_NE(out.str().find("--------------------- Ram Size not supported"), std::string::npos);
    EXPECT_FALSE(folder.Read("cfg/MX40.ini").find("Product") != std::string::npos)
        << "the settings file is never written";
    simulator.Stop();
    simulator.Finish();
}

TEST_F(VantoInProcess, BadInputGivesOneLineAndItsStatus) {
    const std::string missing = (folder / "nope.bin").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"download", "--port", "COM3", "--loader", missing},
         kFileError,
         "cannot read loader file " + missing},
        {{"download", "--port", "COM3", "--loader", paths.loader.string(), "--code", missing},
         kFileError,
         "cannot read code file"},
        {{"download", "--port", "COM77", "--loader", paths.loader.string()},
         kPortError,
         "port COM77 (/dev/ttyS76) does not exist"},
        {{"download", "--port", "PORT1", "--loader", paths.loader.string()},
         kBadUsage,
         "port name 'PORT1'"},
        {{"download", "--port", "COM3x", "--loader", paths.loader.string()},
         kBadUsage,
         "port name 'COM3x'"},
        {{"download", "--port", "COM3", "--speed", "9600"}, kBadUsage, "--speed"},
        {{"download", "--port", "COM3", "--wait-states", "4"}, kBadUsage, "--wait-states"},
        {{"download", "--port", "COM3"}, kBadUsage, "no loader file"},
        {{"download", "--settings", missing}, kFileError, "does not exist"},
        {{"check-map", paths.code.string(), missing},
         kFileError,
         "----- Perso File Not found to check mapping Compatibility ! -----"},
        {{"frobnicate"}, kBadUsage, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Run(c.args), c.status) << c.args[1] << err.str();
        EXPECT_NE((err.str() + out.str()).find(c.says), std::string::npos)
            << err.str() << out.str();
    }
}

// A port that another program holds is refused with the port error status, and the line says
// that it is busy rather than missing.
TEST_F(VantoInProcess, BusyPortIsNamedAsSuch) {
    phone.end_on_release = false;  // two openers at once: the phone must not take the line away
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    const int holder = ::open(simulator.LinkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::string port = "COM" + std::to_string(simulator.PortNumber());
    EXPECT_EQ(Run(DownloadArgs(port)), kPortError);
    EXPECT_NE(err.str().find("is busy: another program holds it"), std::string::npos) << err.str();
    ::close(holder);
    simulator.Stop();
}

TEST_F(VantoInProcess, CheckMapAndProductList) {
    EXPECT_EQ(Run({"check-map", paths.code.string(), paths.perso.string()}), kFinished);
    EXPECT_EQ(out.str(), "Mapping compatibility is OK, domwnload start.\n");
    const auto other = folder / "other.psb";
    dekvanto::image::PersoImageSpec perso_spec;
    perso_spec.identifier = {'Z', '9'};
    dekvanto::image::WriteImage(other, dekvanto::image::BuildPersoImage(perso_spec));
    EXPECT_EQ(Run({"check-map", paths.code.string(), other.string()}), kMappingRefused);

    const auto list = folder.Write("dekvanto.cfg",
                                   "# bench products\n\"Vanto S\" ldr.bin 16 1 1\n\"broken 8 0\n");
    EXPECT_EQ(Run({"products", "--products", list.string()}), kFinished);
    EXPECT_NE(out.str().find("Vanto S"), std::string::npos);
    EXPECT_NE(out.str().find("yes"), std::string::npos);
    EXPECT_NE(out.str().find("line 3: \"broken 8 0"), std::string::npos) << out.str();
}

// Every line of an --events run's standard output as an event; a line that is not one fails.
std::vector<DownloadEvent> EventsIn(const std::string &output) {
    std::vector<DownloadEvent> events;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto reading = dekvanto::core::ReadEventLine(line);
        if (reading.event) {
            events.push_back(*reading.event);
        } else {
            ADD_FAILURE() << "not an event: " << line << " (" << reading.reason << ")";
        }
    }
    return events;
}

std::vector<DownloadEvent> OfKind(const std::vector<DownloadEvent> &events, EventKind kind) {
    std::vector<DownloadEvent> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [kind](const DownloadEvent &event) { return event.kind == kind; });
    return found;
}

// A whole download in step mode: the events go to standard output, the log to standard error,
// and each log line is a phase event, in the same order.
TEST_F(VantoInProcess, EventsOfAWholeDownloadFollowTheLog) {
    dekvanto::sim::PhoneSimulator simulator(phone);
    ASSERT_TRUE(simulator.Start()) << simulator.SetupError();
    const std::string port = "COM" + std::to_string(simulator.PortNumber());
    auto args = DownloadArgs(port);
    args.insert(args.end(), {"--events", "--step"});
    std::istringstream enter_at_each_prompt("\n\n\n\n");

    EXPECT_EQ(Run(args, &enter_at_each_prompt), kFinished) << err.str();
    EXPECT_TRUE(simulator.Finish(std::chrono::seconds(120)).consistent);
    const std::vector<DownloadEvent> events = EventsIn(out.str());
    ASSERT_GE(events.size(), 2u) << out.str();
    EXPECT_EQ(events.front().kind, EventKind::kUnitStart);
    const DownloadEvent &end = events.back();
    EXPECT_EQ(end.kind, EventKind::kUnitEnd);
    EXPECT_EQ(end.result, '2');
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.bytes, 1000u + 20000 + 1500);
    EXPECT_GT(end.seconds, 0);
    for (const DownloadEvent &event : events) {
        EXPECT_EQ(event.station, port);
        EXPECT_EQ(event.unit, 1);
    }

    std::vector<std::string> logged;
    std::istringstream log(err.str());
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("progress ", 0) != 0 && line.rfind("[message] ", 0) != 0 &&
            line.rfind("(press Enter", 0) != 0) {
            logged.push_back(line);
        }
    }
    std::vector<std::string> phases;
    for (const DownloadEvent &phase : OfKind(events, EventKind::kPhase)) {
        phases.push_back(phase.text);
    }
    EXPECT_EQ(phases, logged);
    EXPECT_EQ(phases.back(),
              "------------------------DOWNLOAD COMPLETED--------------------------");

    EXPECT_FALSE(OfKind(events, EventKind::kPrompt).empty()) << "step mode asks";
    const auto progress = OfKind(events, EventKind::kProgress);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().percent, 100);
    EXPECT_EQ(progress.back().bytes, end.bytes);
}

TEST_F(VantoInProcess, ARefusedDownloadIsAUnitThatEndsWithItsError) {
    const std::string missing = (folder / "nope.bin").string();
    EXPECT_EQ(Run({"download", "--port", "COM3", "--loader", missing, "--events"}), kFileError);
    const std::vector<DownloadEvent> events = EventsIn(out.str());
    ASSERT_EQ(events.size(), 2u) << out.str();
    EXPECT_EQ(events[0].kind, EventKind::kUnitStart);
    EXPECT_EQ(events[0].station, "COM3");
    EXPECT_EQ(events[1].kind, EventKind::kUnitEnd);
    EXPECT_EQ(events[1].status, kFileError);
    EXPECT_EQ(events[1].result, std::nullopt);
    EXPECT_NE(events[1].error.value_or("").find("cannot read loader file " + missing),
              std::string::npos);

    // Both want standard output: refused before anything is written there.
    EXPECT_EQ(Run({"download", "--port", "COM3", "--loader", paths.loader.string(), "--events",
                   "--json"}),
              kBadUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("--events and --json"), std::string::npos);
}

// Three stations as processes: each one's events reach standard output as whole lines, and each
// station's stream runs from its unit-start to its unit-end.
TEST_F(VantoInProcess, EventsOfSeveralStationsStayWholeLines) {
    dekvanto::sim::PhoneSimulator good(phone);
    dekvanto::sim::PhoneSimulator failing(WithFault(phone, "silent@code-size"));
    ASSERT_TRUE(good.Start()) << good.SetupError();
    ASSERT_TRUE(failing.Start()) << failing.SetupError();
    const std::vector<std::string> ports = {"COM" + std::to_string(good.PortNumber()),
                                            "COM" + std::to_string(failing.PortNumber()), "COM77"};
    auto args = DownloadArgs(ports[0] + "," + ports[1] + "," + ports[2]);
    args.push_back("--events");

    EXPECT_EQ(Run(args), kNoAcknowledgement) << err.str();
    EXPECT_TRUE(good.Finish(std::chrono::seconds(120)).consistent);
    failing.Stop();
    failing.Finish();
    const std::vector<DownloadEvent> events = EventsIn(out.str());
    const std::vector<std::pair<int, char>> ends = {{kFinished, '2'}, {kNoAcknowledgement, 'H'}};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::vector<DownloadEvent> own;
        std::copy_if(events.begin(), events.end(), std::back_inserter(own),
                     [&](const DownloadEvent &event) { return event.station == ports[i]; });
        ASSERT_GE(own.size(), 2u) << ports[i] << out.str();
        EXPECT_EQ(own.front().kind, EventKind::kUnitStart) << ports[i];
        EXPECT_EQ(OfKind(own, EventKind::kUnitStart).size(), 1u) << ports[i];
        EXPECT_EQ(own.back().kind, EventKind::kUnitEnd) << ports[i];
        EXPECT_EQ(OfKind(own, EventKind::kUnitEnd).size(), 1u) << ports[i];
        if (i < ends.size()) {
            EXPECT_EQ(own.back().status, ends[i].first) << ports[i];
            EXPECT_EQ(own.back().result, ends[i].second) << ports[i];
        } else {
            EXPECT_EQ(own.back().status, kPortError);
            EXPECT_NE(own.back().error.value_or("").find("does not exist"), std::string::npos);
        }
    }
    EXPECT_NE(err.str().find("Station  Port"), std::string::npos) << "the table on stderr";
}

}  // namespace
}  // namespace dekvanto::cli
