// What `vanto download` hands the engine, and what it reports, with a scripted engine in place of
// the library: the settings record for every value of every line option, values taken from a
// settings file and a product list, the JSON summary, and the checks made before the engine.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "exit_status.h"
#include "support/scripted_engine.h"
#include "support/temp_folder.h"
#include "vanto_cli.h"

namespace dekvanto::cli {
namespace {

namespace fs = std::filesystem;
using dekvanto::core::TempFolder;

// Speed, Parity, StopBit, RamSize, RamWaitState of a settings record.
using LineFields = std::array<int32_t, 5>;

class VantoRequest : public ::testing::Test {
  protected:
    void SetUp() override {
        // COM5 leads to a device that exists and may be opened; the scripted engine never does.
        ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
        fs::create_directories(folder / "ports");
        fs::create_symlink("/dev/null", folder / "ports/COM5");
        loader = folder.Write("files/loader.bin", "LOADER").string();
        code = folder.Write("files/code.bin", "CODE").string();
        perso = folder.Write("files/perso.psb", "PERSO").string();
    }

    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        engine.downloads.clear();
        std::istringstream none;
        Console console{out, err, none, -1, false};
        return RunVanto(args, console, Context{DEKVANTO_ENGINE_LIBRARY, VANTO_PROGRAM, &engine});
    }

    // The one download the engine was asked for.
    const dekvanto::core::DownloadCall &Download() {
        EXPECT_EQ(engine.downloads.size(), 1u) << err.str();
        if (engine.downloads.empty()) {
            engine.downloads.emplace_back();
        }
        return engine.downloads.back();
    }

    LineFields Fields() {
        const Mx40Settings &s = Download().settings;
        return {s.Speed, s.Parity, s.StopBit, s.RamSize, s.RamWaitState};
    }

    TempFolder folder;
    dekvanto::core::ScriptedEngine engine;
    std::string loader, code, perso;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(VantoRequest, EveryValueOfTheLineOptionsReachesTheEngineAsItsListPosition) {
    const struct {
        std::vector<std::string> option;
        LineFields fields;
    } cases[] = {
        {{}, {1, 0, 0, 0, 0}},
        {{"--speed", "57600"}, {0, 0, 0, 0, 0}},
        {{"--speed", "115200"}, {1, 0, 0, 0, 0}},
        {{"--speed", "230400"}, {2, 0, 0, 0, 0}},
        {{"--speed", "460800"}, {3, 0, 0, 0, 0}},
        {{"--parity", "none"}, {1, 0, 0, 0, 0}},
        {{"--parity", "odd"}, {1, 1, 0, 0, 0}},
        {{"--parity", "even"}, {1, 2, 0, 0, 0}},
        {{"--stop-bits", "1"}, {1, 0, 0, 0, 0}},
        {{"--stop-bits", "2"}, {1, 0, 1, 0, 0}},
        {{"--bus", "8"}, {1, 0, 0, 0, 0}},
        {{"--bus", "16"}, {1, 0, 0, 1, 0}},
        {{"--wait-states", "0"}, {1, 0, 0, 0, 0}},
        {{"--wait-states", "1"}, {1, 0, 0, 0, 1}},
        {{"--wait-states", "2"}, {1, 0, 0, 0, 2}},
        {{"--wait-states", "3"}, {1, 0, 0, 0, 3}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"download", "--port", "COM5", "--loader", loader};
        args.insert(args.end(), c.option.begin(), c.option.end());
        EXPECT_EQ(Run(args), kFinished) << err.str();
        EXPECT_EQ(Fields(), c.fields) << (c.option.empty() ? "defaults" : c.option[1]);
    }
    EXPECT_EQ(Download().settings.Port, 4);
    EXPECT_EQ(Download().options.Acknowledge, 1);
    EXPECT_EQ(Download().code, std::nullopt);
}

TEST_F(VantoRequest, HelpNamesTheAcceptedValuesAndAnyOtherValueIsRefused) {
    EXPECT_EQ(Run({"download", "--help"}), kFinished);
    for (const char *accepted :
         {"--speed INT:{57600,115200,230400,460800}", "--parity TEXT:{none,odd,even}",
          "--stop-bits INT:{1,2}", "--bus INT:{8,16}", "--wait-states INT:{0,1,2,3}"}) {
        EXPECT_NE(out.str().find(accepted), std::string::npos) << accepted << out.str();
    }
    const struct {
        std::vector<std::string> option;
        std::string says;
    } refused[] = {
        {{"--speed", "7"}, "--speed: 7 not in {57600,115200,230400,460800}"},
        {{"--speed", "9600"}, "--speed: 9600 not in {57600,115200,230400,460800}"},
        {{"--parity", "mark"}, "--parity: mark not in {none,odd,even}"},
        {{"--stop-bits", "0"}, "--stop-bits: 0 not in {1,2}"},
        {{"--bus", "32"}, "--bus: 32 not in {8,16}"},
        {{"--wait-states", "4"}, "--wait-states: 4 not in {0,1,2,3}"},
    };
    for (const auto &r : refused) {
        std::vector<std::string> args = {"download", "--port", "COM5", "--loader", loader};
        args.insert(args.end(), r.option.begin(), r.option.end());
        EXPECT_EQ(Run(args), kBadUsage) << r.says;
        EXPECT_NE(err.str().find(r.says), std::string::npos) << err.str();
    }
    EXPECT_TRUE(engine.downloads.empty());
}

TEST_F(VantoRequest, SettingsFileIsReadKeyByKeyAndNeverWritten) {
    const std::string ini_text =
        "[Setting]\nCOM=COM5\nSpeed=\nParity=2\nStopBit=1\n"
        "RamSize=1\nRamWaitState=2\nRebootDelay=3\n"
        "[Debug]\nAcknowledge=0\nPause=1\n"
        "[PathOption]\nLoadFilePath=" +
        loader + "\n";
    const std::string ini = folder.Write("MX40.ini", ini_text).string();

    EXPECT_EQ(Run({"download", "--settings", ini}), kFinished) << err.str();
    // An empty "Speed=" gives the key's default, 115200 bit/s.
    EXPECT_EQ(Fields(), (LineFields{1, 2, 1, 1, 2}));
    EXPECT_EQ(Download().settings.Port, 4);
    EXPECT_EQ(Download().settings.RebootDelay, 3);
    EXPECT_EQ(Download().loader, loader);
    EXPECT_EQ(Download().options.Acknowledge, 0);
    EXPECT_EQ(Download().options.Pause, 1);

    EXPECT_EQ(Run({"download", "--settings", ini, "--reboot-delay", "7", "--parity", "odd"}),
              kFinished);
    EXPECT_EQ(Download().settings.RebootDelay, 7);
    EXPECT_EQ(Download().settings.Parity, 1);
    EXPECT_EQ(folder.Read("MX40.ini"), ini_text);
}

TEST_F(VantoRequest, ProductIsFoundWhateverItsLetterCaseAndBitZeroAloneAllowsPersonalization) {
    folder.Write("cfg/dekvanto.cfg", "\"Vanto S\" ldr.bin 16 2 1\n\"Vanto Two\" ldr.bin 8 1 2\n");
    folder.Write("cfg/ldr.bin", "PRODUCT LOADER");
    const std::string ini = folder.Write("cfg/MX40.ini", "[Setting]\nCOM=COM5\n").string();

    EXPECT_EQ(Run({"download", "--settings", ini, "--product", "VANTO s", "--code", code, "--perso",
                   perso}),
              kFinished)
        << err.str();
    EXPECT_EQ(Fields(), (LineFields{1, 0, 0, 1, 2}));
    EXPECT_EQ(Download().loader, (folder / "cfg/ldr.bin").string());
    EXPECT_EQ(Download().perso, perso);

    EXPECT_EQ(Run({"download", "--settings", ini, "--product", "vanto two", "--perso", perso}),
              kBadUsage);
    EXPECT_EQ(err.str(), "vanto: product \"vanto two\" takes no personalization file\n");
    EXPECT_TRUE(engine.downloads.empty());
    EXPECT_EQ(folder.Read("cfg/MX40.ini"), "[Setting]\nCOM=COM5\n");
}

TEST_F(VantoRequest, JsonSummaryCarriesTheOutcomeOrTheRefusal) {
    const std::string missing = (folder / "missing.bin").string();
    EXPECT_EQ(Run({"download", "--port", "COM5", "--loader", missing, "--json"}), kFileError);
    auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["error"], "cannot read loader file " + missing + ": No such file or directory");
    EXPECT_EQ(json["status"], 5);
    EXPECT_TRUE(json["result"].is_null());
    EXPECT_EQ(json["lines"], nlohmann::json::array());

    engine.script = [](Mx40Window &window, const Mx40Files &) {
        window.send(window.context, MX40_WM_BYTE_COUNT, 15, 0);
        return int32_t{MX40_RESULT_BAD_STOP_BITS};
    };
    EXPECT_EQ(Run({"download", "--port", "COM5", "--loader", loader, "--code", code, "--perso",
                   perso, "--json"}),
              kUnsupportedSetting);
    json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["result"], ">");
    EXPECT_EQ(json["status"], 7);
    EXPECT_EQ(json["map_check"], MX40_MAP_COMPATIBLE);
    EXPECT_EQ(json["bytes"], 15);
    EXPECT_EQ(json["port"], "COM5");
    EXPECT_FALSE(json.contains("error"));
    EXPECT_EQ(
        json["lines"],
        (nlohmann::json{"Mapping compatibility is OK, domwnload start.",
                        "------------------------DOWNLOAD ERROR  UNKNOWN------------------"}));
}

// A missing file and a missing port at once: the file is named, the port is not looked at.
TEST_F(VantoRequest, FilesAreCheckedBeforeThePort) {
    const std::string missing = (folder / "missing.bin").string();
    EXPECT_EQ(Run({"download", "--port", "COM77", "--loader", loader, "--code", missing}),
              kFileError);
    EXPECT_EQ(err.str(),
              "vanto: cannot read code file " + missing + ": No such file or directory\n");
}

TEST_F(VantoRequest, ProductListRowsShowWhatEachProductSets) {
    const auto list = folder.Write("dekvanto.cfg",
                                   "# bench\n"
                                   "\"Vanto S\" ldr16.bin 16 1 1\n"
                                   "\"Vanto 8\" ldr8.bin 8 0 2\n"
                                   "\"Odd bus\" x.bin 4 3 0\n"
                                   "\"broken 8 0\r\n");
    EXPECT_EQ(Run({"products", "--products", list.string()}), kFinished);
    EXPECT_EQ(out.str(),
              "Product                          Loader               Bus  Wait  Perso\n"
              "Vanto S                          ldr16.bin            16   1     yes\n"
              "Vanto 8                          ldr8.bin             8    0     no\n"
              "Odd bus                          x.bin                ?    3     no\n"
              "Skipped lines:\n"
              "  line 5: \"broken 8 0\n");
}

}  // namespace
}  // namespace dekvanto::cli
