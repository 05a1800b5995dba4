// The main window's rules against a recording view: the start-up order, what the check boxes, a
// product pick, the file dialogs, the Settings dialog and a download enable, show and store, the
// file watch, and closing.
#include "core/window/main_window_model.h"

#include <gtest/gtest.h>

#include "support/memory_store.h"
#include "support/recording_view.h"
#include "support/scripted_engine.h"
#include "support/temp_folder.h"
#include "support/window_files.h"

namespace dekvanto::core {
namespace {

using C = WindowControl;
using Events = std::vector<std::string>;

class FixedPorts final : public PortSource {
  public:
    std::vector<PortEntry> ListPorts() override { return {{"COM1", "", ""}, {"COM2", "", ""}}; }
    void RegisterTypedPort(std::string_view name) override { registered.emplace_back(name); }
    std::vector<std::string> registered;
};

// The values a Settings dialog holds when it has just opened, as OK takes them.
CurrentSettings AsOpened(const SettingsDialogContents &contents, std::string port_text) {
    CurrentSettings shown;
    shown.port_name = std::move(port_text);
    shown.speed = contents.speed;
    shown.parity = contents.parity;
    shown.stop_bits = contents.stop_bits;
    shown.data_bits = contents.data_bits;
    shown.wait_states = contents.wait_states;
    shown.ram_size = contents.ram_size;
    shown.acknowledge = contents.acknowledge ? 1 : 0;
    shown.pause = contents.pause ? 1 : 0;
    return shown;
}

class MainWindowModelTest : public ::testing::Test {
  protected:
    MainWindowModelTest() {
        WriteWindowFiles(folder);
        code = folder.Write("files/abc.bin", "abc").string();
        store.Preset("PathOption", "AppFilePath", code);
    }

    MainWindowModel &Open() {
        model =
            std::make_unique<MainWindowModel>(files, std::move(store_owner), engine, ports, view);
        model->Initialise();
        return *model;
    }

    // The events of the view apart from repaints, from `from` on.
    Events Shown(std::size_t from = 0) const {
        Events shown;
        for (std::size_t i = from; i < view.events.size(); ++i) {
            if (view.events[i] != "repaint") {
                shown.push_back(view.events[i]);
            }
        }
        return shown;
    }

    // Starts a download whose engine notes which of the controls were enabled while it ran.
    std::map<C, bool> EnabledDuringADownload() {
        std::map<C, bool> during;
        engine.script = [&](Mx40Window &, const Mx40Files &) {
            for (const C control : {C::kCodeBrowse, C::kProperties, C::kCodeSwitch, C::kProduct,
                                    C::kPersoSwitch, C::kPersoBrowse}) {
                during[control] = view.Enabled(control);
            }
            return int32_t{MX40_RESULT_DONE};
        };
        model->OnStartStop();
        return during;
    }

    TempFolder folder;
    ProgramFiles files = FilesOfProgramDirectory(folder.Path(), SettingsPlace{true, {}, {}});
    std::unique_ptr<MemoryStore> store_owner = std::make_unique<MemoryStore>();
    MemoryStore &store = *store_owner;
    ScriptedEngine engine;
    FixedPorts ports;
    RecordingView view;
    std::string code;
    std::unique_ptr<MainWindowModel> model;
};

TEST_F(MainWindowModelTest, StartUpShowsEverythingInTheProgramsOrder) {
    Open();
    EXPECT_EQ(Shown(),
              (Events{"check code switch on", "check perso switch off", "enable perso path off",
                      "enable perso browse off", "enable perso size off", "products", "select 0",
                      "text code path " + code, "text code size 3 Bytes", "text code checksum FED9",
                      "text perso path ", "text perso size ", "text port COM1",
                      "caption DEK VANTO  1.2", "watch start"}));
    EXPECT_EQ(view.products, (Events{"None", "Even phone", "Odd phone"}));
    EXPECT_TRUE(store.Writes().empty());
}

TEST_F(MainWindowModelTest, StoredProductIsAppliedAtStartWithItsLoaderBesideTheProgram) {
    store.Preset("Setting", "Product", "even");
    Open();
    EXPECT_EQ(view.product_position, 1);
    for (const C control : {C::kPersoSwitch, C::kPersoPath, C::kPersoBrowse, C::kPersoSize}) {
        EXPECT_FALSE(view.Enabled(control)) << ControlName(control);
    }
    const std::string loader = (folder / "loader.bin").string();
    EXPECT_EQ(store.Value("PathOption", "LoadFilePath"), loader);
    EXPECT_EQ(store.Value("Setting", "RamSize"), "1");
    EXPECT_EQ(store.Value("Setting", "RamWaitState"), "2");

    model->OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 1u);
    EXPECT_EQ(engine.downloads[0].loader, loader);
    EXPECT_EQ(engine.downloads[0].settings.RamSize, 1);
    EXPECT_EQ(engine.downloads[0].settings.RamWaitState, 2);
}

TEST_F(MainWindowModelTest, ProductPicksSwitchThePersonalizationControls) {
    Open();
    model->OnPersoSwitch(true);
    EXPECT_TRUE(view.Enabled(C::kPersoBrowse));

    model->OnProductSelected(1);  // "Even phone": flags 0
    EXPECT_FALSE(view.checked[C::kPersoSwitch]);
    for (const C control : {C::kPersoSwitch, C::kPersoPath, C::kPersoBrowse, C::kPersoSize}) {
        EXPECT_FALSE(view.Enabled(control)) << ControlName(control);
    }
    EXPECT_EQ(store.Value("Setting", "Product"), "Even phone");

    model->OnProductSelected(2);  // "Odd phone": flags 3, whatever the check box's state
    for (const C control : {C::kPersoSwitch, C::kPersoPath, C::kPersoBrowse, C::kPersoSize}) {
        EXPECT_TRUE(view.Enabled(control)) << ControlName(control);
    }
    EXPECT_EQ(store.Value("Setting", "RamWaitState"), "1");

    model->OnProductSelected(0);  // "None" leaves the controls as they are
    EXPECT_TRUE(view.Enabled(C::kPersoSwitch));

    // The even product switched the personalization download off.
    model->OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 1u);
    EXPECT_EQ(engine.downloads[0].perso, std::nullopt);
    EXPECT_TRUE(engine.map_checks.empty());

    // A pick whose values did not reach the disk says so in the log, once.
    view.log.clear();
    store.unsaved = "settings not saved in MX40.ini: Read-only file system";
    model->OnProductSelected(1);
    model->OnProductSelected(0);
    EXPECT_EQ(view.log, Events{"settings not saved in MX40.ini: Read-only file system"});
}

TEST_F(MainWindowModelTest, DownloadTurnsOffTheControlsThatMustNotChange) {
    Open();
    const std::size_t before = view.events.size();
    const std::map<C, bool> during = EnabledDuringADownload();
    EXPECT_FALSE(during.at(C::kCodeBrowse));
    EXPECT_FALSE(during.at(C::kProperties));
    EXPECT_FALSE(during.at(C::kCodeSwitch));
    EXPECT_FALSE(during.at(C::kProduct));
    EXPECT_TRUE(during.at(C::kPersoSwitch));  // the template's state: "None" does not touch it
    for (const C control : {C::kCodeBrowse, C::kProperties, C::kCodeSwitch, C::kProduct}) {
        EXPECT_TRUE(view.Enabled(control)) << ControlName(control);
    }
    for (const std::string &event : Shown(before)) {
        EXPECT_EQ(event.find("perso"), std::string::npos) << event;
    }

    // A product that takes a personalization file: its box is locked too, and comes back.
    model->OnProductSelected(2);
    EXPECT_FALSE(EnabledDuringADownload().at(C::kPersoSwitch));
    EXPECT_TRUE(view.Enabled(C::kPersoSwitch));

    // A switched-off code file keeps its "&Browse..." off after the download.
    model->OnCodeSwitch(false);
    for (const C control : {C::kCodePath, C::kCodeSize, C::kCodeBrowse, C::kCodeChecksum}) {
        EXPECT_FALSE(view.Enabled(control)) << ControlName(control);
    }
    EnabledDuringADownload();
    EXPECT_FALSE(view.Enabled(C::kCodeBrowse));
    EXPECT_TRUE(view.Enabled(C::kCodeSwitch));
    EXPECT_EQ(engine.downloads.back().code, std::nullopt);
    EXPECT_EQ(view.texts[C::kCodePath], code);  // the path stays for when the box is ticked again
}

TEST_F(MainWindowModelTest, SettingsChangeShowsNoneAtOnceAndCancelKeepsTheProduct) {
    store.Preset("Setting", "Product", "Odd");
    Open();
    ASSERT_EQ(view.product_position, 2);

    std::size_t before = view.events.size();
    model->OnProperties();  // the recording view's user opens and cancels
    EXPECT_EQ(Shown(before), (Events{"settings dialog", "text code path " + code,
                                     "text code size 3 Bytes", "text code checksum FED9",
                                     "text perso path ", "text perso size ", "text port COM1"}));

    const std::string other = folder.Write("other_loader.bin", "LLLL").string();
    view.settings_user = [&](SettingsSession &session) {
        const SettingsDialogContents contents = session.Open();
        ASSERT_TRUE(session.BrowseLoader([&](const FileDialog &dialog, const std::string &in) {
            EXPECT_EQ(dialog.title, "Select Loader File for Downloading");
            EXPECT_EQ(in, files.ProgramDirectoryText());
            return other;
        }));
        session.Ok(AsOpened(contents, "COM7"));
    };
    model->OnProperties();
    EXPECT_EQ(view.product_position, 0);
    EXPECT_EQ(store.Value("Setting", "Product"), "Odd phone");  // the next start applies it again
    EXPECT_EQ(ports.registered, Events{"COM7"});
    EXPECT_EQ(view.texts[C::kPort], "COM7");

    // "None" counts at once: the next download leaves the personalization box alone.
    before = view.events.size();
    EnabledDuringADownload();
    EXPECT_EQ(engine.downloads.back().loader, other);
    for (const std::string &event : Shown(before)) {
        EXPECT_NE(event.rfind("enable perso", 0), 0u) << event;
    }
}

TEST_F(MainWindowModelTest, UntouchedEmptyPortFieldKeepsAnUnpluggedPort) {
    store.Preset("Setting", "COM", "COM3");  // an adapter that is not plugged in now
    Open();
    view.settings_user = [&](SettingsSession &session) {
        const SettingsDialogContents contents = session.Open();
        EXPECT_EQ(contents.port_selection, -1);
        session.Ok(AsOpened(contents, ""));
    };
    model->OnProperties();
    EXPECT_EQ(store.Value("Setting", "COM"), "COM3");
    EXPECT_EQ(view.texts[C::kPort], "COM3");
    model->OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 1u);
    EXPECT_EQ(engine.downloads[0].settings.Port, 2);
    EXPECT_TRUE(ports.registered.empty());
}

TEST_F(MainWindowModelTest, ChoosingFilesPausesTheFileWatchAndStoresTheChoice) {
    store.Preset("PathOption", "AppFilePath", "");
    Open();
    const std::string larger = folder.Write("files/larger.bin", "abcd").string();
    view.chosen_file = larger;
    std::size_t before = view.events.size();
    model->OnBrowseCodeFile();
    EXPECT_EQ(
        Shown(before),
        (Events{"watch stop", "choose Select Application File for Download in ",
                "text code path " + larger, "text code size 4 Bytes", "text code checksum FE75",
                "text perso path ", "text perso size ", "text port COM1", "watch start"}));
    EXPECT_EQ(store.Value("PathOption", "AppFilePath"), larger);

    view.chosen_file = (folder / "files/gone.bin").string();
    before = view.events.size();
    model->OnBrowseCodeFile();
    EXPECT_EQ(Shown(before), (Events{"watch stop",
                                     "choose Select Application File for Download in " +
                                         (folder / "files").string(),
                                     "box Error Open Application File!", "watch start"}));

    // A personalization file chosen during a download leaves the watch to the download's end.
    const std::string perso = folder.Write("files/perso.psb", "pp").string();
    engine.script = [&](Mx40Window &, const Mx40Files &) {
        view.chosen_file = perso;
        model->OnBrowsePersoFile();
        EXPECT_FALSE(view.file_watch_running);
        return int32_t{MX40_RESULT_DONE};
    };
    model->OnStartStop();
    EXPECT_EQ(view.texts[C::kPersoSize], "2 Bytes");
    EXPECT_EQ(view.texts[C::kCodeSize], "4 Bytes");
    EXPECT_EQ(view.EventsOf("choose Select Personalization").size(), 1u);
    EXPECT_TRUE(view.file_watch_running);
}

TEST_F(MainWindowModelTest, FileWatchTickShowsAChangedCodeFile) {
    store.Preset("PathOption", "LoadFilePath", folder.Write("loader.bin", "L").string());
    Open();
    std::size_t before = view.events.size();
    model->OnFileWatch();
    EXPECT_EQ(Shown(before), (Events{"watch stop", "watch start"}));

    folder.Write("files/abc.bin", "abcd");
    model->OnFileWatch();
    EXPECT_EQ(view.texts[C::kCodeSize], "4 Bytes");
    EXPECT_TRUE(view.file_watch_running);
}

TEST_F(MainWindowModelTest, CloseIsRefusedDuringADownloadOnly) {
    Open();
    engine.script = [&](Mx40Window &, const Mx40Files &) {
        EXPECT_FALSE(model->OnCloseRequest());
        return int32_t{MX40_RESULT_DONE};
    };
    model->OnStartStop();
    EXPECT_EQ(view.boxes, Events{"Stop the Downloader Before to Quit this Application!"});
    EXPECT_TRUE(view.file_watch_running);
    EXPECT_TRUE(model->OnCloseRequest());
    EXPECT_FALSE(view.file_watch_running);
}

}  // namespace
}  // namespace dekvanto::core
