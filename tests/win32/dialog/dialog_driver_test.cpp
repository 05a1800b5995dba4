// DEKVANTO.EXE driven from outside, as a user (or a screen reader) meets it: every control found
// by its identifier and read with the ordinary window messages, every click posted as the command
// it sends. The downloads run against the simulated phone that the harness puts on
// COM$DEKVANTO_PHONE_COM, with the files in $DEKVANTO_PHONE_WORK; without a phone those tests are
// skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/window/string_table.h"
#include "dekvanto/firmware_image.h"
#include "dekvanto_process.h"
#include "win32/resource_ids.h"
#include "window_reading.h"

namespace dekvanto::dialog_test {
namespace {

const std::string kCompleted =
    "------------------------DOWNLOAD COMPLETED--------------------------";
const std::string kCanceled =
    "------------------------DOWNLOAD CANCELED-----------------------------";

// Controls that a download disables and its end enables again.
constexpr int kControlsOfADownload[] = {IDC_BROWSE_CODE, IDC_PROPERTIES, IDC_CODE_SWITCH,
                                        IDC_PRODUCT};

std::string LastLine(HWND main) {
    const std::vector<std::string> lines = ListLines(main, IDC_LOG);
    return lines.empty() ? std::string() : lines.back();
}

// Each expected line, in order, begins some later line of the log.
::testing::AssertionResult LogHasInOrder(const std::vector<std::string> &log,
                                         const std::vector<std::string> &beginnings) {
    auto at = log.begin();
    for (const std::string &beginning : beginnings) {
        at = std::find_if(at, log.end(),
                          [&](const std::string &line) { return line.rfind(beginning, 0) == 0; });
        if (at == log.end()) {
            std::string shown;
            for (const std::string &line : log) {
                shown += "\n  " + line;
            }
            return ::testing::AssertionFailure()
                   << "no line beginning with \"" << beginning << "\" in its place; log:" << shown;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

// Clicks OK in the open message box and waits until it has gone; returns its text.
std::string AnswerMessageBox(const RunningDekvanto &program) {
    const HWND box = program.WaitForOwnedWindow(kBoxCaption);
    if (box == nullptr) {
        return "(no message box)";
    }
    const std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); });
    return text;
}

void CloseAndExpectExit(const RunningDekvanto &program) {
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    DWORD exit_code = 1;
    ASSERT_TRUE(program.WaitForExit(60000, &exit_code)) << "the window did not close";
    EXPECT_EQ(exit_code, 0u);
}

uint16_t Sum16(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    uint32_t sum = 0;
    for (auto byte = std::istreambuf_iterator<char>(in); byte != std::istreambuf_iterator<char>();
         ++byte) {
        sum += static_cast<uint8_t>(*byte);
    }
    return static_cast<uint16_t>(0xFFFF - sum);
}

TEST(StringTable, ResourceHoldsEveryTextOfTheCoreUnderItsNumber) {
    char driver[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, driver, MAX_PATH);
    const auto program = std::filesystem::path(driver).parent_path() / "DEKVANTO.EXE";
    const HMODULE module =
        LoadLibraryExA(program.string().c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    for (int id = 0; id < 300; ++id) {
        char text[512] = {};
        const int length = LoadStringA(module, static_cast<UINT>(id), text, sizeof text);
        EXPECT_EQ(std::string(text, static_cast<size_t>(length)), core::AppString(id))
            << "id " << id;
    }
    FreeLibrary(module);
}

TEST(MainWindow, StartsIdleWithItsTemplateAndTheFilesBesideIt) {
    ProgramFolder folder;
    // A stored code file that is gone: the path comes up empty, without a message.
    folder.WriteSettings("[PathOption]\r\nAppFilePath=C:\\nowhere\\gone.bin\r\n");
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr) << "no main window";

    EXPECT_EQ(WindowText(main), "DEK VANTO  0.1");
    EXPECT_TRUE(Checked(main, IDC_CODE_SWITCH));
    EXPECT_FALSE(Checked(main, IDC_PERSO_SWITCH));
    for (const int id : {IDC_CODE_PATH, IDC_BROWSE_CODE, IDC_CODE_SIZE, IDC_CODE_CHECKSUM}) {
        EXPECT_TRUE(Enabled(main, id)) << "control " << id;
    }
    for (const int id : {IDC_PERSO_PATH, IDC_BROWSE_PERSO, IDC_PERSO_SIZE}) {
        EXPECT_FALSE(Enabled(main, id)) << "control " << id;
    }
    EXPECT_EQ(ComboEntries(main, IDC_PRODUCT),
              (std::vector<std::string>{"None", "VANTO 16 bits", "VANTO 8 bits lite"}));
    EXPECT_EQ(ComboSelection(main, IDC_PRODUCT), 0);
    EXPECT_EQ(ControlText(main, IDC_CODE_PATH), "");
    EXPECT_EQ(ControlText(main, IDC_PORT), "COM1");
    EXPECT_EQ(ControlText(main, IDC_START_STOP), "&Start download");
    EXPECT_EQ(ControlText(main, IDC_BYTE_COUNTER), "Download :");
    EXPECT_TRUE(ListLines(main, IDC_LOG).empty());

    // Every control of the layout is there under its number, of its kind.
    const std::vector<std::pair<int, std::string>> controls = {{IDC_BANNER, "Static"},
                                                               {IDC_CODE_SWITCH, "Button"},
                                                               {IDC_CODE_PATH, "Edit"},
                                                               {IDC_BROWSE_CODE, "Button"},
                                                               {IDC_CODE_SIZE, "Edit"},
                                                               {IDC_CODE_CHECKSUM, "Edit"},
                                                               {IDC_PERSO_SWITCH, "Button"},
                                                               {IDC_PERSO_PATH, "Edit"},
                                                               {IDC_BROWSE_PERSO, "Button"},
                                                               {IDC_PERSO_SIZE, "Edit"},
                                                               {IDC_PRODUCT, "ComboBox"},
                                                               {IDC_PORT, "Edit"},
                                                               {IDC_PROPERTIES, "Button"},
                                                               {IDC_BYTE_COUNTER, "Static"},
                                                               {IDC_PROGRESS, "msctls_progress32"},
                                                               {IDC_LOG, "ListBox"},
                                                               {IDC_START_STOP, "Button"}};
    for (const auto &[id, kind] : controls) {
        char name[64] = {};
        GetClassNameA(GetDlgItem(main, id), name, sizeof name);
        EXPECT_STREQ(name, kind.c_str()) << "control " << id;
    }
    CloseAndExpectExit(program);
}

TEST(MainWindow, StartWithoutCodeFileShowsItsMessageAndLogsNothing) {
    ProgramFolder folder;
    folder.WriteSettings("[PathOption]\r\nAppFilePath=C:\\nowhere\\gone.bin\r\n");
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);

    Click(main, IDC_START_STOP);
    const HWND box = program.WaitForOwnedWindow(kBoxCaption);
    ASSERT_NE(box, nullptr) << "no message box";
    // While the box is open the attempt is still checking its inputs, its counters already reset.
    EXPECT_EQ(ControlText(main, IDC_START_STOP), "&Stop download");
    EXPECT_EQ(ControlText(main, IDC_BYTE_COUNTER), "Download : 0 bytes");
    EXPECT_EQ(AnswerMessageBox(program), "Please Select Application file, Please!");

    EXPECT_TRUE(WaitUntil([&] { return ControlText(main, IDC_START_STOP) == "&Start download"; }));
    EXPECT_TRUE(ListLines(main, IDC_LOG).empty());
    EXPECT_EQ(ProgressPosition(main, IDC_PROGRESS), 0);
    CloseAndExpectExit(program);
}

TEST(MainWindow, AboutBoxFromTheSystemMenuShowsTheVersionText) {
    ProgramFolder folder;
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);

    // The system menu's command (a menu of another process cannot be read under Wine).
    PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const HWND about = program.WaitForOwnedWindow("About DEK VANTO");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, IDC_ABOUT_VERSION), "A-000-01-00");
    Click(about, IDC_ABOUT_OK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    CloseAndExpectExit(program);
}

TEST(MainWindow, ChosenProductStoresItsLoaderBesideTheProgram) {
    ProgramFolder folder;
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);

    ChooseComboEntry(main, IDC_PRODUCT, 2);  // "VANTO 8 bits lite": no personalization file
    ASSERT_TRUE(WaitUntil([&] { return !Enabled(main, IDC_PERSO_SWITCH); }));
    EXPECT_EQ(folder.Setting("Setting", "Product"), "VANTO 8 bits lite");
    // The program directory ends in a backslash: the loader's name follows it directly.
    EXPECT_EQ(folder.Setting("PathOption", "LoadFilePath"),
              (folder.Path() / "vanto_loader.bin").string());
    EXPECT_EQ(folder.Setting("Setting", "RamSize"), "0");
    EXPECT_EQ(folder.Setting("Setting", "RamWaitState"), "0");
    CloseAndExpectExit(program);
}

TEST(SettingsDialog, OkWritesWhatTheDialogShowsAndCancelWritesNothing) {
    ProgramFolder folder;
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);

    Click(main, IDC_PROPERTIES);
    HWND settings = program.WaitForOwnedWindow("Settings");
    ASSERT_NE(settings, nullptr);
    // Defaults: 115200 Bds, no parity, one stop bit, 8 data bits, 0 wait states, 8-bit bus.
    EXPECT_EQ(ComboEntries(settings, IDC_SPEED),
              (std::vector<std::string>{"57600 Bds", "115200 Bds", "230400 Bds", "460800 Bds"}));
    EXPECT_EQ(ComboSelection(settings, IDC_SPEED), 1);
    EXPECT_EQ(ComboSelection(settings, IDC_PARITY), 0);
    EXPECT_EQ(ComboSelection(settings, IDC_STOP_BITS), 0);
    EXPECT_EQ(ComboSelection(settings, IDC_DATA_BITS), 0);
    EXPECT_EQ(ComboSelection(settings, IDC_WAIT_STATES), 0);
    EXPECT_EQ(ComboEntries(settings, IDC_BUS_SIZE),
              (std::vector<std::string>{"8   Bits", "16 Bits"}));
    EXPECT_EQ(ComboSelection(settings, IDC_BUS_SIZE), 0);
    EXPECT_FALSE(Checked(settings, IDC_ACKNOWLEDGE));

    SendDlgItemMessageA(settings, IDC_SPEED, CB_SETCURSEL, 2, 0);
    SendDlgItemMessageA(settings, IDC_BUS_SIZE, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageA(settings, IDC_ACKNOWLEDGE, BM_SETCHECK, BST_CHECKED, 0);
    // A typed port that the list does not offer, of the form COM and a number.
    SetWindowTextA(GetDlgItem(settings, IDC_PORT_BOX), "COM5");
    Click(settings, IDC_SETTINGS_OK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));

    EXPECT_EQ(folder.Setting("Setting", "COM"), "COM5");
    EXPECT_EQ(folder.Setting("Setting", "Speed"), "2");
    EXPECT_EQ(folder.Setting("Setting", "Parity"), "0");
    EXPECT_EQ(folder.Setting("Setting", "StopBit"), "0");
    EXPECT_EQ(folder.Setting("Setting", "BitChar"), "0");
    EXPECT_EQ(folder.Setting("Setting", "RamSize"), "1");
    EXPECT_EQ(folder.Setting("Setting", "RamWaitState"), "0");
    EXPECT_EQ(folder.Setting("Debug", "Acknowledge"), "1");
    EXPECT_EQ(folder.Setting("Debug", "Pause"), "0");
    // The main window refreshes its summaries once the dialog has gone.
    EXPECT_TRUE(WaitUntil([&] { return ControlText(main, IDC_PORT) == "COM5"; }))
        << ControlText(main, IDC_PORT);

    // Cancel: the changed speed is forgotten and the file stays as it was.
    Click(main, IDC_PROPERTIES);
    settings = program.WaitForOwnedWindow("Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(ComboSelection(settings, IDC_SPEED), 2);
    EXPECT_TRUE(Checked(settings, IDC_ACKNOWLEDGE));
    SendDlgItemMessageA(settings, IDC_SPEED, CB_SETCURSEL, 0, 0);
    Click(settings, IDC_SETTINGS_CANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
    EXPECT_EQ(folder.Setting("Setting", "Speed"), "2");
    CloseAndExpectExit(program);
}

// The files of the phone's session, and a settings file that points the program at them.
class PhoneDownload : public ::testing::Test {
  protected:
    void SetUp() override {
        com_ = Environment("DEKVANTO_PHONE_COM");
        if (com_.empty()) {
            GTEST_SKIP() << "no simulated phone (run through the dialog test script)";
        }
        work_ = WindowsPathOf(Environment("DEKVANTO_PHONE_WORK"));
        // A set that agrees under the mapping check; perso.bin is the personalization file's
        // twin for the harness, which compares it with what the phone received.
        image::SampleSetLayout set;
        set.code_size = 16 * 1024;
        image::WriteSampleSet(work_, set);
        std::filesystem::copy_file(work_ / "perso.psb", work_ / "perso.bin",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // The files of the session, in acknowledged or blind mode; reboot_delay is the pause in
    // seconds before the personalization file in blind mode.
    void WriteSettings(const ProgramFolder &folder, bool acknowledged, int reboot_delay = 0) const {
        folder.WriteSettings("[Setting]\r\nCOM=COM" + com_ +
                             "\r\nRebootDelay=" + std::to_string(reboot_delay) +
                             "\r\n[Debug]\r\nAcknowledge=" + (acknowledged ? "1" : "0") +
                             "\r\n[PathOption]\r\nAppFilePath=" + (work_ / "code.bin").string() +
                             "\r\nLoadFilePath=" + (work_ / "loader.bin").string() +
                             "\r\nPersoFilePath=" + (work_ / "perso.psb").string() + "\r\n");
    }

    // Switches the personalization file on, as a click on its check box does.
    static void SwitchPersoOn(HWND main) {
        ClickCheckBox(main, IDC_PERSO_SWITCH);
        ASSERT_TRUE(WaitUntil([&] { return Enabled(main, IDC_PERSO_PATH); }));
    }

    uintmax_t Size(const char *name) const { return std::filesystem::file_size(work_ / name); }

    std::string com_;
    std::filesystem::path work_;
};

TEST_F(PhoneDownload, WholeDownloadLogsEveryStepAndEndsIdle) {
    ProgramFolder folder;
    WriteSettings(folder, true);
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);

    EXPECT_EQ(ControlText(main, IDC_CODE_SIZE), std::to_string(Size("code.bin")) + " Bytes");
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%X", Sum16(work_ / "code.bin"));
    EXPECT_EQ(ControlText(main, IDC_CODE_CHECKSUM), checksum);
    SwitchPersoOn(main);
    EXPECT_EQ(ControlText(main, IDC_PERSO_SIZE), std::to_string(Size("perso.psb")) + " Bytes");

    Click(main, IDC_START_STOP);
    // The result's line comes first, then the window goes back to idle. A box of the engine's
    // (a line failure) ends the wait at once: it would hold the download until answered.
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            box = program.FindAnyOwnedWindow();
            return box != nullptr || (LastLine(main) == kCompleted &&
                                      ControlText(main, IDC_START_STOP) == "&Start download");
        },
        180000))
        << "last line: " << LastLine(main);
    ASSERT_EQ(box, nullptr) << "a box came up: " << WindowText(box) << ": " << MessageBoxText(box)
                            << "; last line: " << LastLine(main);

    const std::vector<std::string> log = ListLines(main, IDC_LOG);
    const std::string port = "COM" + com_;
    EXPECT_TRUE(LogHasInOrder(
        log, {"Mapping compatibility is OK, domwnload start.", "Starting Time : ", "Open " + port,
              "Set Speed (115200)", "Download ", " -> Starting Flash writing",
              "Download " + ControlText(main, IDC_CODE_PATH), " -> Start End of Flash erasing",
              " -> End of flash Erased", "Download " + ControlText(main, IDC_PERSO_PATH),
              "Close " + port, "Finish Time : ", kCompleted}));
    EXPECT_EQ(ListSelection(main, IDC_LOG), static_cast<int>(log.size()) - 1);
    const uintmax_t total = Size("loader.bin") + Size("code.bin") + Size("perso.psb");
    EXPECT_EQ(ControlText(main, IDC_BYTE_COUNTER),
              "Download : " + std::to_string(total) + " bytes");
    EXPECT_EQ(ProgressPosition(main, IDC_PROGRESS), 0) << "a whole download sets the bar back";
    EXPECT_EQ(ControlText(main, IDC_START_STOP), "&Start download");
    for (const int id : kControlsOfADownload) {
        EXPECT_TRUE(Enabled(main, id)) << "control " << id;
    }
    CloseAndExpectExit(program);
}

// In blind mode the engine waits "RebootDelay" seconds for the phone's restart before the
// personalization file, keeping the window working meanwhile: with a delay of ten minutes the
// download waits there until the user stops it.
TEST_F(PhoneDownload, CloseIsRefusedDuringADownloadAndStopCancelsIt) {
    ProgramFolder folder;
    WriteSettings(folder, false, 600);
    RunningDekvanto program(folder);
    const HWND main = program.Main();
    ASSERT_NE(main, nullptr);
    SwitchPersoOn(main);

    Click(main, IDC_START_STOP);
    ASSERT_TRUE(WaitUntil([&] { return LastLine(main) == "Waiting DEKE Reboot (600 secondes)"; }))
        << "last line: " << LastLine(main);
    EXPECT_EQ(ControlText(main, IDC_START_STOP), "&Stop download");
    for (const int id : kControlsOfADownload) {
        EXPECT_FALSE(Enabled(main, id)) << "control " << id;
    }
    EXPECT_GT(ProgressPosition(main, IDC_PROGRESS), 0);
    EXPECT_EQ(ControlText(main, IDC_BYTE_COUNTER).rfind("Download : ", 0), 0u);

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerMessageBox(program), "Stop the Downloader Before to Quit this Application!");
    EXPECT_TRUE(IsWindow(main));

    Click(main, IDC_START_STOP);
    ASSERT_TRUE(WaitUntil([&] {
        return LastLine(main) == kCanceled &&
               ControlText(main, IDC_START_STOP) == "&Start download";
    })) << "last line: "
        << LastLine(main);
    EXPECT_EQ(ControlText(main, IDC_START_STOP), "&Start download");
    for (const int id : kControlsOfADownload) {
        EXPECT_TRUE(Enabled(main, id)) << "control " << id;
    }
    for (const std::string &line : ListLines(main, IDC_LOG)) {
        EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
    }
    CloseAndExpectExit(program);
}

}  // namespace
}  // namespace dekvanto::dialog_test
