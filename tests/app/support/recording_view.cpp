#include "support/recording_view.h"

namespace dekvanto::app {

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

std::vector<std::string> RecordingView::EventsOf(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const std::string &event : events) {
        if (event.starts_with(prefix)) {
            found.push_back(event.substr(prefix.size()));
        }
    }
    return found;
}

}  // namespace dekvanto::app
