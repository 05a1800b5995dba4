// `vanto` given hostile input. Text: identifiers, operators' names, log lines and product names
// that hold terminal controls, spreadsheet formulas or broken UTF-8; what it prints is data, so no
// escape sequence, carriage return or line feed of theirs reaches the terminal, and no CSV cell is
// a formula. Set-ups meant to turn it against the machine or its user: port assignments that name
// no serial device, and a port register in another user's folder while vanto runs as root.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench_board.h"
#include "core/bench/bench_state.h"
#include "core/records/record_lines.h"
#include "core/text/outside_text.h"
#include "exit_status.h"
#include "support/temp_folder.h"
#include "unprivileged_child.h"
#include "vanto_cli.h"

namespace dekvanto::cli {
namespace {

namespace fs = std::filesystem;
using dekvanto::core::TempFolder;
using dekvanto::core::TerminalText;

constexpr const char *kTitle = "\x1b]0;owned\a";
constexpr const char *kForgedLine = "\r\n2024-05-16T10:00:00.000Z  COM3  #9  PASS";

// The output, split into lines, with the board's own cursor controls taken out.
std::vector<std::string> Lines(std::string text) {
    for (const std::string own : {"\r\x1b[2K", "\r\x1b[J", "\x1b[1A", "\x1b[2A"}) {
        for (std::size_t at; (at = text.find(own)) != std::string::npos;) {
            text.erase(at, own.size());
        }
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Each line holds nothing a terminal would act on, and only whole UTF-8 characters.
void ExpectShownAsText(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) {
        EXPECT_EQ(TerminalText(line), line);
    }
}

class HostileInput : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("DEKVANTO_PORTS", ports.c_str(), 1); }
    void TearDown() override { ::unsetenv("DEKVANTO_PORTS"); }

    int Run(const std::vector<std::string> &args) {
        out.str("");
        err.str("");
        std::istringstream none;
        Console console{out, err, none, -1, false};
        return RunVanto(args, console, Context{});
    }

    TempFolder folder;
    fs::path ports = folder / "ports";
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(HostileInput, RecordsListTheirTextAsTextAndTheirCellsAsText) {
    using dekvanto::core::UnitRecord;
    UnitRecord r;
    r.constants.host = "bench\x1b[2J";
    r.start.station = "COM3";
    r.start.unit = 1;
    r.start.started = "2024-05-16T10:00:00.000Z";
    r.start.unit_id = std::string("SN-1") + kTitle + kForgedLine;
    r.start.operator_name = "@SUM(1+1)*cmd|' /C calc'!A0";
    r.end = dekvanto::core::UnitEnd{"2024-05-16T10:00:01.000Z",
                                    1.0,
                                    10,
                                    'H',
                                    dekvanto::core::OutcomeClass::kNoAcknowledgement,
                                    "=HYPERLINK(\"http://x\",\"SN1\")",
                                    {},
                                    std::string("cut") + kTitle};
    const std::string file =
        folder.Write("r.jsonl", StartLine(r) + "\n" + EndLine(r) + "\n" + "{\"schema\":\x9b\n")
            .string();

    ASSERT_EQ(Run({"records", file}), kFinished);
    const std::vector<std::string> listing = Lines(out.str());
    ExpectShownAsText(listing);
    ExpectShownAsText(Lines(err.str()));
    ASSERT_FALSE(listing.empty());
    EXPECT_NE(
        listing[0].find("[SN-1\\x1B]0;owned\\x07\\x0D\\x0A2024-05-16T10:00:00.000Z  COM3  #9"),
        std::string::npos)
        << listing[0];
    EXPECT_NE(listing[0].find("(cut\\x1B]0;owned\\x07)"), std::string::npos) << listing[0];
    EXPECT_EQ(listing[1].rfind("Totals: 1 units", 0), 0u) << "no line of the identifier's own";

    ASSERT_EQ(Run({"records", file, "--csv"}), kFinished);
    const std::vector<std::string> rows = Lines(out.str());
    ExpectShownAsText(rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1].find(R"x(,"'=HYPERLINK(""http://x"",""SN1"")",)x"), std::string::npos)
        << rows[1];
    EXPECT_NE(rows[1].find(",'@SUM(1+1)*cmd|' /C calc'!A0,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find(",bench\\x1B[2J,"), std::string::npos) << rows[1];
}

TEST_F(HostileInput, ProductNamesAreShownAsText) {
    const std::string list =
        folder.Write("p.lst", "\"Vanto\x1b[2J\xc3\xa9\" ldr\x07\xff.bin 16 1 1\n\"bro\rken 8 0\n")
            .string();
    ASSERT_EQ(Run({"products", "--products", list}), kFinished);
    const std::vector<std::string> lines = Lines(out.str());
    ExpectShownAsText(lines);
    EXPECT_NE(out.str().find("Vanto\\x1B[2J\xc3\xa9"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("ldr\\x07\\xFF.bin"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("bro\\x0Dken"), std::string::npos) << out.str();
}

TEST_F(HostileInput, TheBenchBoardShowsIdentifiersAndLogLinesAsTextAndCutsWholeCharacters) {
    using dekvanto::core::DownloadEvent;
    using enum dekvanto::core::EventKind;
    const auto now = std::chrono::steady_clock::now();
    const auto wall = std::chrono::system_clock::now();
    const std::string id = std::string("\xe4\xb8\xad\xe4\xb8\xad\xe4\xb8\xad") + kTitle;
    const std::vector<DownloadEvent> events = {
        {.kind = kUnitStart, .station = "COM1", .unit_id = id},
        {.kind = kPhase, .station = "COM1", .text = std::string("Download ") + kTitle + ".bin"},
        {.kind = kUnitEnd,
         .station = "COM1",
         .result = 'H',
         .status = 6,
         .unit_id = id,
         .verdict = dekvanto::core::UnitVerdict::kFailed,
         .reason = std::string("no acknowledgement") + kForgedLine},
    };
    // On a terminal of every width up to a little more than the live line, and into a file.
    for (const int columns : {0, 14, 15, 16, 17, 18, 40}) {
        SCOPED_TRACE(columns);
        dekvanto::core::BenchState state({"COM1"}, true);
        std::ostringstream log;
        BenchBoard board(log, columns);
        board.Begin(state, now);
        for (const DownloadEvent &event : events) {
            state.Apply(event, now, wall);
            board.OnEvent(event, state, now);
        }
        board.Finish(state, now);
        const std::vector<std::string> lines = Lines(log.str());
        ExpectShownAsText(lines);
        for (const std::string &line : lines) {
            EXPECT_NE(line.rfind("2024-05-16T10:00:00.000Z", 0), 0u) << "a forged line: " << line;
        }
    }
}

TEST_F(HostileInput, PortsListTheirDevicesAsText) {
    fs::create_directories(ports);
    // A device node of its own name (the same device as /dev/null): only root may make one.
    const fs::path device = folder / (std::string("tty") + kTitle + kForgedLine);
    if (::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here";
    }
    fs::create_symlink(device, ports / "COM5");
    ASSERT_EQ(Run({"ports"}), kFinished) << err.str();
    ExpectShownAsText(Lines(out.str()));
    EXPECT_NE(out.str().find("/tty\\x1B]0;owned\\x07\\x0D\\x0A2024"), std::string::npos)
        << out.str();
}

// A port leads to a serial device: not to a file, a folder, a relative name (a link that leads
// elsewhere from every other folder) or a link of anyone's making.
TEST_F(HostileInput, PortsAssignAcceptsOnlyACharacterDeviceByItsAbsolutePath) {
    fs::create_symlink("/dev/null", folder / "device-link");
    struct Case {
        std::string assignment;
        int status;
        std::string reason;
    };
    const std::vector<Case> refused = {
        {"COM6=/etc/passwd", kPortError, "is not a serial device"},
        {"COM7=/tmp", kPortError, "is not a serial device"},
        {"COM3=dev/null", kBadUsage, "absolute path"},
        {"COM8=" + (folder / "device-link").string(), kPortError, "symbolic link"},
    };
    const fs::path before = fs::current_path();
    fs::current_path("/");  // where "dev/null" would lead to a device
    for (const Case &c : refused) {
        EXPECT_EQ(Run({"ports", "--assign", c.assignment}), c.status) << c.assignment;
        EXPECT_NE(err.str().find(c.reason), std::string::npos) << c.assignment << ": " << err.str();
        EXPECT_EQ(out.str(), "") << c.assignment;
    }
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(ports)) << "no register made for a refused device";

    EXPECT_EQ(Run({"ports", "--assign", "COM3=/dev/null"}), kFinished) << err.str();
    EXPECT_EQ(fs::read_symlink(ports / "COM3"), "/dev/null");
}

// Run as root with a user's HOME, vanto leaves no folder or link of root's in the user's folders:
// the user could not add a port to that register afterwards. It says why.
TEST_F(HostileInput, RootMakesNoPortRegisterInAUsersFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    fs::create_directory(folder / "home");
    ASSERT_EQ(::chown((folder / "home").c_str(), testing::kNobody, testing::kNobody), 0);
    ports = folder / "home/.config/dekvanto/ports";
    ::setenv("DEKVANTO_PORTS", ports.c_str(), 1);
    EXPECT_EQ(Run({"ports", "--assign", "COM3=/dev/null"}), kPortError);
    EXPECT_NE(err.str().find("belongs to another user"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(folder / "home/.config"));
}

}  // namespace
}  // namespace dekvanto::cli
