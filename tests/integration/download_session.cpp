#include "download_session.h"

#include "process_figures.h"

namespace dekvanto::integration {

TestWindow::TestWindow() {
    record.context = this;
    record.send = [](void *context, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        auto &window = *static_cast<TestWindow *>(context);
        window.messages.push_back(message);
        if (message == MX40_WM_LOG_LINE) {
            window.log_lines.emplace_back(reinterpret_cast<const char *>(wparam));
        } else if (message == MX40_WM_BYTE_COUNT) {
            window.byte_counts.push_back(wparam);
        } else if (message == MX40_WM_PROGRESS_STEP) {
            ++window.progress_steps;
        }
        return 0;
    };
    record.pump = [](void *context) -> int32_t {
        auto &window = *static_cast<TestWindow *>(context);
        ++window.pumps;
        return window.on_pump ? window.on_pump(window) : 0;
    };
    record.message_box = [](void *context, const char *text) {
        static_cast<TestWindow *>(context)->boxes.emplace_back(text);
    };
}

void DownloadRecords::UseFiles(const dekvanto::testing::SampleFiles &set) {
    const auto path = [](const std::filesystem::path &file) {
        return file.empty() ? nullptr : file.c_str();
    };
    files = {path(set.loader), path(set.code), path(set.perso)};
}

SessionResult RunSession(dekvanto::sim::PhoneConfig phone, DownloadRecords &records,
                         TestWindow *window) {
    SessionResult session;
    session.descriptors_before = OpenDescriptors();
    session.summary =
        dekvanto::testing::WithPhone(phone, [&](dekvanto::sim::PhoneSimulator &simulator) {
            records.settings.Port = simulator.PortNumber() - 1;
            if (window != nullptr) {
                window->record.context = window;  // the window may have been assigned anew
            }
            session.result = Mxl40_Download(window != nullptr ? &window->record : nullptr,
                                            &records.settings, &records.files, &records.options);
        }).summary;
    session.descriptors_after = OpenDescriptors();
    return session;
}

int OpenDescriptors() {
    return ProcessFigures::Now().descriptors;
}

}  // namespace dekvanto::integration
