#include "core/window/settings_dialog.h"

#include "core/files/read_only_file.h"
#include "core/ports/port_name.h"

namespace dekvanto::core {
namespace {

std::string LowerCase(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

int ListSelection(int32_t setting, std::size_t count) {
    return setting >= 0 && static_cast<std::size_t>(setting) < count ? setting : -1;
}

SettingsDialog::SettingsDialog(CurrentSettings &current, LoaderFileRecord &loader,
                               SettingsStore &store, LoaderPathCase path_case)
    : current_(current), loader_(loader), store_(store), path_case_(path_case) {}

SettingsDialogContents SettingsDialog::Open(const std::vector<std::string> &ports) {
    changed_ = false;
    edited_loader_path_ = loader_.path;
    shown_loader_size_text_ = loader_.size_text;

    SettingsDialogContents contents;
    contents.port_selection = FindEntryBeginningWith(ports, current_.port_name);
    contents.speed = ListSelection(current_.speed, kSpeeds.Count());
    contents.parity = ListSelection(current_.parity, kParities.Count());
    contents.stop_bits = ListSelection(current_.stop_bits, kStopBits.Count());
    contents.data_bits = ListSelection(current_.data_bits, kDataBits.Count());
    contents.wait_states = ListSelection(current_.wait_states, kWaitStates.Count());
    contents.ram_size = ListSelection(current_.ram_size, kBusWidths.Count());
    contents.acknowledge = current_.acknowledge == 1;
    contents.pause = current_.pause == 1;
    contents.loader_path = edited_loader_path_;
    contents.loader_size_text = shown_loader_size_text_;
    return contents;
}

const std::string &SettingsDialog::ChooseLoaderFile(const std::string &chosen) {
    edited_loader_path_ = FullPath(chosen);
    if (const auto status = StatusOfReadableFile(edited_loader_path_)) {
        shown_loader_size_text_ = SizeText(status->size);
    }
    return shown_loader_size_text_;
}

SettingsDialogOutcome SettingsDialog::Ok(const CurrentSettings &chosen,
                                         const std::vector<std::string> &ports) {
    SettingsDialogOutcome outcome;
    CurrentSettings taken = chosen;
    if (chosen.port_name.empty()) {
        // The field opens empty when the stored port is not listed (an adapter unplugged). Every
        // entry "begins with" the empty text, so without this an untouched field would erase the
        // port and the next download would fail on a port never chosen.
        taken.port_name = current_.port_name;
    } else if (FindEntryBeginningWith(ports, chosen.port_name) < 0) {
        if (ReadsAsComPort(chosen.port_name)) {
            outcome.typed_port = chosen.port_name;
        } else {
            taken.port_name = current_.port_name;
        }
    }
    WriteCurrentSettings(store_, taken);

    changed_ = LoaderPathDiffers() || taken.ram_size != current_.ram_size ||
               taken.wait_states != current_.wait_states;
    current_ = taken;
    loader_.path = path_case_ == LoaderPathCase::kLowerCase ? LowerCase(edited_loader_path_)
                                                            : edited_loader_path_;
    TakeLoaderFile();
    return outcome;
}

void SettingsDialog::Cancel() {
    changed_ = false;
}

bool SettingsDialog::LoaderPathDiffers() const {
    if (path_case_ == LoaderPathCase::kLowerCase) {
        return LowerCase(loader_.path) != LowerCase(edited_loader_path_);
    }
    return loader_.path != edited_loader_path_;
}

void SettingsDialog::TakeLoaderFile() {
    if (const auto status = StatusOfReadableFile(loader_.path)) {
        loader_.size = status->size;
        loader_.size_text = SizeText(status->size);
        loader_.modified_ns = status->modified_ns;
    }
}

}  // namespace dekvanto::core
