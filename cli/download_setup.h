// What one station's download uses, worked out from the command line as the window would: the
// settings file's current settings (or the defaults, acknowledged), the chosen product's loader,
// bus width and wait states, then every option given on the line over them.
//
// The files sent are those named on the line: the code file and the personalization file only
// when given (the window's two check boxes), the loader from --loader, else the product, else the
// settings file's "LoadFilePath".
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/current_settings.h"
#include "core/file_records.h"
#include "download_options.h"
#include "exit_status.h"
#include "overlay_store.h"

namespace dekvanto::cli {

struct DownloadSetup {
    dekvanto::app::CurrentSettings settings;
    std::unique_ptr<dekvanto::app::FileRecords> files;
    dekvanto::app::DownloadSwitches switches;
    std::unique_ptr<OverlayStore> store;
    uint64_t total_bytes = 0;  // loader + the files sent
};

// A refusal: the line to print and the status to end with.
struct SetupError {
    ExitStatus status;
    std::string text;
};

// program_directory: where dekvanto.cfg is looked for without --settings and --products.
// port: the station's port name.
std::optional<SetupError> PrepareDownload(const DownloadOptions &options, const std::string &port,
                                          const std::filesystem::path &program_directory,
                                          DownloadSetup &setup);

}  // namespace dekvanto::cli
