// The current settings and the Settings dialog's rules: reading order and defaults, what the
// dialog opens with, the typed port rule, the write order, the changed flag and Cancel.
#include "core/window/settings_dialog.h"

#include <gtest/gtest.h>

#include "support/memory_store.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

using Access = MemoryStore::Access;
using Ports = std::vector<std::string>;

std::vector<std::string> Keys(const std::vector<Access> &accesses) {
    std::vector<std::string> keys;
    for (const Access &access : accesses) {
        keys.push_back(access.section + "/" + access.key);
    }
    return keys;
}

TEST(CurrentSettingsTest, ReadInTheirOrderWithDefaultsAndUncheckedIndices) {
    MemoryStore empty;
    EXPECT_EQ(ReadCurrentSettings(empty), CurrentSettings{});
    EXPECT_EQ(Keys(empty.Log()), (std::vector<std::string>{
                                     "Setting/StopBit", "Setting/BitChar", "Setting/Parity",
                                     "Setting/COM", "Setting/Speed", "Setting/RamSize",
                                     "Setting/RamWaitState", "Debug/Acknowledge", "Debug/Pause"}));
    const CurrentSettings defaults;
    EXPECT_EQ(defaults.port_name, "COM1");
    EXPECT_EQ(defaults.speed, 1);

    MemoryStore stored{{"Setting", "COM", "COM7"},       {"Setting", "Speed", "-1"},
                       {"Setting", "Parity", "9"},       {"Setting", "StopBit", "1"},
                       {"Setting", "BitChar", "0"},      {"Setting", "RamSize", "1"},
                       {"Setting", "RamWaitState", "2"}, {"Debug", "Acknowledge", "1"},
                       {"Debug", "Pause", "1"}};
    const CurrentSettings read = ReadCurrentSettings(stored);
    EXPECT_EQ(read.port_name, "COM7");
    EXPECT_EQ(read.speed, -1);
    EXPECT_EQ(read.parity, 9);
    EXPECT_EQ(read.stop_bits, 1);
    EXPECT_EQ(read.ram_size, 1);
    EXPECT_EQ(read.wait_states, 2);
    EXPECT_EQ(read.acknowledge, 1);
    EXPECT_EQ(read.pause, 1);
}

class SettingsDialogTest : public ::testing::Test {
  protected:
    SettingsDialogTest() {
        loader.path = folder.Write("Loader.bin", std::string(100, 'L')).string();
        loader.size = 100;
        loader.size_text = "100 Bytes";
    }

    // The values the controls hold when the dialog has just opened, as OK would take them.
    CurrentSettings Unchanged() const { return current; }

    TempFolder folder;
    MemoryStore store;
    CurrentSettings current;
    LoaderFileRecord loader;
    SettingsDialog dialog{current, loader, store, LoaderPathCase::kAsTyped};
    const Ports ports{"COM1", "COM2", "COM12"};
};

TEST_F(SettingsDialogTest, OpeningSelectsTheMatchingEntriesOrNone) {
    current.port_name = "com1";
    current.speed = 7;
    current.parity = 2;
    current.stop_bits = -1;
    current.wait_states = 3;
    current.ram_size = 2;
    current.pause = 1;
    const SettingsDialogContents contents = dialog.Open(ports);
    EXPECT_EQ(contents.port_selection, 0);
    EXPECT_EQ(contents.speed, -1);
    EXPECT_EQ(contents.parity, 2);
    EXPECT_EQ(contents.stop_bits, -1);
    EXPECT_EQ(contents.data_bits, 0);
    EXPECT_EQ(contents.wait_states, 3);
    EXPECT_EQ(contents.ram_size, -1);
    EXPECT_FALSE(contents.acknowledge);
    EXPECT_TRUE(contents.pause);
    EXPECT_EQ(contents.loader_path, loader.path);
    EXPECT_EQ(contents.loader_size_text, "100 Bytes");

    current.port_name = "COM9";
    EXPECT_EQ(dialog.Open(ports).port_selection, -1);
    current.port_name = "COM1";  // the first entry beginning with it, also before COM12
    EXPECT_EQ(dialog.Open(Ports{"COM12", "COM1"}).port_selection, 0);
}

TEST_F(SettingsDialogTest, OkWritesTheChosenValuesInOrder) {
    dialog.Open(ports);
    CurrentSettings chosen = Unchanged();
    chosen.port_name = "COM2";
    chosen.speed = -1;  // a list left without selection
    chosen.parity = 2;
    chosen.acknowledge = 1;
    dialog.Ok(chosen, ports);

    EXPECT_EQ(store.Writes(), (std::vector<Access>{{"WriteText", "Setting", "COM", "COM2"},
                                                   {"WriteInt", "Setting", "Speed", "-1"},
                                                   {"WriteInt", "Setting", "Parity", "2"},
                                                   {"WriteInt", "Setting", "StopBit", "0"},
                                                   {"WriteInt", "Setting", "BitChar", "0"},
                                                   {"WriteInt", "Setting", "RamSize", "0"},
                                                   {"WriteInt", "Setting", "RamWaitState", "0"},
                                                   {"WriteInt", "Debug", "Acknowledge", "1"},
                                                   {"WriteInt", "Debug", "Pause", "0"}}));
    EXPECT_EQ(current, chosen);
    EXPECT_FALSE(dialog.Changed());
    EXPECT_EQ(ReadCurrentSettings(store), chosen);
}

TEST_F(SettingsDialogTest, TypedPortNamesFollowTheListThenTheComRule) {
    const struct {
        const char *typed;
        const char *kept;
        bool typed_port;
    } rows[] = {
        {"com1", "com1", false},   // an entry begins with it: kept as typed
        {"COM", "COM", false},     // every entry begins with it
        {"COM7", "COM7", true},    // not listed, reads as COM plus a number
        {"COM 8", "COM 8", true},  // scanf's %d skips the blank
        {"com7", "COM2", false},   // the COM must be capitals: dropped for the previous name
        {"PORT1", "COM2", false},
        {"", "COM2", false},  // an empty text would begin every entry: the port stays
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.typed);
        current.port_name = "COM2";
        dialog.Open(ports);
        CurrentSettings chosen = Unchanged();
        chosen.port_name = row.typed;
        store.ClearLog();
        const SettingsDialogOutcome outcome = dialog.Ok(chosen, ports);
        EXPECT_EQ(current.port_name, row.kept);
        EXPECT_EQ(store.Value("Setting", "COM"), row.kept);
        EXPECT_EQ(outcome.typed_port.has_value(), row.typed_port);
        if (row.typed_port) {
            EXPECT_EQ(*outcome.typed_port, row.typed);
        }
    }
}

TEST_F(SettingsDialogTest, UntouchedEmptyFieldKeepsAStoredPortThatIsNotListed) {
    current.port_name = "COM3";  // an adapter that is unplugged now
    EXPECT_EQ(dialog.Open(ports).port_selection, -1);
    CurrentSettings chosen = Unchanged();
    chosen.port_name = "";  // the field the dialog opened with
    dialog.Ok(chosen, ports);
    EXPECT_EQ(current.port_name, "COM3");
    EXPECT_EQ(store.Value("Setting", "COM"), "COM3");
}

TEST_F(SettingsDialogTest, ChangedFlagFollowsLoaderBusWidthAndWaitStates) {
    dialog.Open(ports);
    CurrentSettings chosen = Unchanged();
    chosen.ram_size = 1;
    dialog.Ok(chosen, ports);
    EXPECT_TRUE(dialog.Changed());
    EXPECT_EQ(current.ram_size, 1);

    dialog.Open(ports);
    EXPECT_FALSE(dialog.Changed());  // cleared at opening
    chosen = Unchanged();
    chosen.wait_states = 2;
    dialog.Ok(chosen, ports);
    EXPECT_TRUE(dialog.Changed());

    // Speed and port changes do not count.
    dialog.Open(ports);
    chosen = Unchanged();
    chosen.speed = 3;
    chosen.port_name = "COM12";
    dialog.Ok(chosen, ports);
    EXPECT_FALSE(dialog.Changed());
}

TEST_F(SettingsDialogTest, LoaderChosenInTheDialogCountsOnlyAtOk) {
    const std::string other = folder.Write("other.bin", std::string(7, 'O')).string();
    const std::string before = loader.path;

    dialog.Open(ports);
    EXPECT_EQ(dialog.ChooseLoaderFile(other), "7 Bytes");
    EXPECT_EQ(dialog.EditedLoaderPath(), other);
    dialog.Cancel();
    EXPECT_FALSE(dialog.Changed());
    EXPECT_EQ(loader.path, before);
    EXPECT_EQ(loader.size_text, "100 Bytes");
    EXPECT_TRUE(store.Writes().empty());

    // A file that does not open keeps the shown size.
    dialog.Open(ports);
    EXPECT_EQ(dialog.ChooseLoaderFile((folder / "gone.bin").string()), "100 Bytes");
    dialog.ChooseLoaderFile(other);
    dialog.Ok(Unchanged(), ports);
    EXPECT_TRUE(dialog.Changed());
    EXPECT_EQ(loader.path, other);
    EXPECT_EQ(loader.size, 7);
    EXPECT_EQ(loader.size_text, "7 Bytes");
    // The loader path is not a key the dialog writes.
    for (const Access &access : store.Writes()) {
        EXPECT_NE(access.key, "LoadFilePath");
    }
}

TEST_F(SettingsDialogTest, LoaderPathLetterCaseMattersOnlyWhereNamesIgnoreIt) {
    const std::string upper = folder.Write("LOADER.BIN", std::string(3, 'U')).string();

    dialog.Open(ports);
    dialog.ChooseLoaderFile(upper);
    dialog.Ok(Unchanged(), ports);
    EXPECT_TRUE(dialog.Changed());  // another file on this file system
    EXPECT_EQ(loader.path, upper);  // kept as typed
    EXPECT_EQ(loader.size, 3);

    SettingsDialog ignoring_case{current, loader, store, LoaderPathCase::kLowerCase};
    ignoring_case.Open(ports);
    ignoring_case.ChooseLoaderFile((folder / "Loader.bin").string());
    ignoring_case.Ok(Unchanged(), ports);
    EXPECT_FALSE(ignoring_case.Changed());
    std::string lower = (folder / "loader.bin").string();
    for (char &c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(loader.path, lower);
    // That lower-case path names no file here: size and text stay as they were.
    EXPECT_EQ(loader.size, 3);
}

}  // namespace
}  // namespace dekvanto::core
