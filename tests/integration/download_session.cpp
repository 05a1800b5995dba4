#include "download_session.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "dekvanto/firmware_image.h"

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

SessionFiles MakeFiles(uint32_t loader_size, uint32_t code_size, uint32_t perso_size) {
    namespace image = dekvanto::image;
    SessionFiles files;
    char pattern[] = "/tmp/dekvanto-files-XXXXXX";
    files.dir = mkdtemp(pattern);
    files.loader = files.dir / "loader.bin";
    files.loader_bytes = image::BuildLoaderImage({loader_size, 11});
    image::WriteImage(files.loader, files.loader_bytes);
    if (code_size != 0) {
        image::PersoImageSpec perso_spec;
        image::MappedCode mapped;
        mapped.entries = {image::SearchEntryFor(perso_spec)};
        mapped.size = code_size;
        mapped.seed = 12;
        files.code = files.dir / "code.bin";
        files.code_bytes = image::BuildCodeImage(image::MakeCodeSpec(mapped));
        image::WriteImage(files.code, files.code_bytes);
    }
    if (perso_size != 0) {
        image::PersoImageSpec perso_spec;
        perso_spec.size = perso_size;
        perso_spec.seed = 13;
        files.perso = files.dir / "perso.psb";
        files.perso_bytes = image::BuildPersoImage(perso_spec);
        image::WriteImage(files.perso, files.perso_bytes);
    }
    return files;
}

SessionResult RunSession(dekvanto::sim::PhoneConfig phone, DownloadRecords &records,
                         TestWindow *window) {
    SessionResult session;
    session.descriptors_before = OpenDescriptors();
    {
        dekvanto::sim::PhoneSimulator simulator(phone);
        if (!simulator.Start()) {
            session.summary.errors.push_back("simulator: " + simulator.SetupError());
            return session;
        }
        records.settings.Port = simulator.PortNumber() - 1;
        if (window != nullptr) {
            window->record.context = window;  // the window may have been assigned anew
        }
        session.result = Mxl40_Download(window != nullptr ? &window->record : nullptr,
                                        &records.settings, &records.files, &records.options);
        // The engine has let go of the line: the phone ends by itself once it has taken in
        // everything that was sent. The bound only keeps a broken phone from hanging the run.
        session.summary = simulator.Finish(std::chrono::seconds(120));
    }
    session.descriptors_after = OpenDescriptors();
    return session;
}

void UsePrivatePortRegister() {
    // One register for the process, removed again when the process ends.
    struct PrivateRegister {
        std::filesystem::path dir;
        PrivateRegister() {
            char pattern[] = "/tmp/dekvanto-ports-XXXXXX";
            dir = mkdtemp(pattern);
        }
        ~PrivateRegister() {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    };
    static const PrivateRegister private_register;
    setenv("DEKVANTO_PORTS", private_register.dir.c_str(), 1);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

}  // namespace dekvanto::integration
