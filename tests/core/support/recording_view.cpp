#include "support/recording_view.h"

namespace dekvanto::core {

std::string_view ControlName(WindowControl control) {
    static constexpr std::array<std::string_view, kWindowControlCount> kNames = {
        "code switch", "code path",    "code browse", "code size", "code checksum", "perso switch",
        "perso path",  "perso browse", "perso size",  "product",   "port",          "properties"};
    return kNames[static_cast<std::size_t>(control)];
}

void RecordingView::SetButtonText(std::string_view text) {
    button = text;
    events.push_back("button " + button);
}

void RecordingView::ResetProgress() {
    progress = 0;
    events.push_back("progress reset");
}

void RecordingView::StepProgress() {
    progress = progress >= 100 ? 0 : progress + 1;
    events.push_back("progress step");
}

void RecordingView::SetByteCounterText(std::string_view text) {
    byte_counter = text;
    events.push_back("counter " + byte_counter);
}

void RecordingView::AddLogLine(std::string_view text) {
    log.emplace_back(text);
    events.push_back("log " + log.back());
}

void RecordingView::ShowMessage(std::string_view text) {
    boxes.emplace_back(text);
    events.push_back("box " + boxes.back());
    if (on_box) {
        on_box();
    }
}

void RecordingView::EnableControls(bool on) {
    controls_enabled = on;
    events.push_back(on ? "controls on" : "controls off");
}

void RecordingView::StopFileWatch() {
    file_watch_running = false;
    events.push_back("watch stop");
}

void RecordingView::StartFileWatch() {
    file_watch_running = true;
    events.push_back("watch start");
}

void RecordingView::Repaint() {
    events.push_back("repaint");
}

bool RecordingView::DispatchEvents() {
    ++dispatches;
    return on_dispatch ? on_dispatch() : false;
}

void RecordingView::Enable(WindowControl control, bool on) {
    enabled[control] = on;
    events.push_back("enable " + std::string(ControlName(control)) + (on ? " on" : " off"));
}

void RecordingView::SetChecked(WindowControl control, bool on) {
    checked[control] = on;
    events.push_back("check " + std::string(ControlName(control)) + (on ? " on" : " off"));
}

void RecordingView::SetText(WindowControl control, std::string_view text) {
    texts[control] = text;
    events.push_back("text " + std::string(ControlName(control)) + " " + texts[control]);
}

void RecordingView::SetProductEntries(const std::vector<std::string> &entries) {
    products = entries;
    events.push_back("products");
}

void RecordingView::SelectProduct(int position) {
    product_position = position;
    events.push_back("select " + std::to_string(position));
}

void RecordingView::SetCaption(std::string_view text) {
    caption = text;
    events.push_back("caption " + caption);
}

std::string RecordingView::ChooseFile(const FileDialog &dialog, const std::string &folder) {
    events.push_back("choose " + std::string(dialog.title) + " in " + folder);
    return chosen_file;
}

void RecordingView::RunSettingsDialog(SettingsSession &session) {
    events.push_back("settings dialog");
    if (settings_user) {
        settings_user(session);
    } else {
        session.Open();
        session.Cancel();
    }
}

bool RecordingView::Enabled(WindowControl control) const {
    const auto found = enabled.find(control);
    return found == enabled.end() || found->second;
}

std::vector<std::string> RecordingView::EventsOf(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const std::string &event : events) {
        if (event.starts_with(prefix)) {
            found.push_back(event.substr(prefix.size()));
        }
    }
    return found;
}

}  // namespace dekvanto::core
