// One download asked for from the command line, worked out as the window would do it: the
// settings file's current settings (or the defaults, acknowledged), the chosen product's loader,
// bus width and wait states, then every value given on the line over them.
//
// The settings file is only read, never written: the request's store lays the run's own values
// ("RebootDelay" given on the line, what choosing the product stores) over the file, and the
// download control reads "RebootDelay" through it.
//
// The files sent are those named in the request: the code file and the personalization file only
// when given (the window's two check boxes), the loader from the request, else the product's,
// else the settings file's "LoadFilePath".
//
// The product list is dekvanto.cfg beside the settings file when one is given (the folder is
// then taken for the program's, as the window would find its files there), else beside the
// program, unless the request names another list. Product loaders lie beside the list. Names of
// products match without regard to ASCII case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/download/download_outcome.h"
#include "core/products/file_records.h"
#include "core/settings/current_settings.h"
#include "core/settings/overlay_store.h"
#include "core/settings/program_folder.h"

namespace dekvanto::core {

// What the command line gives. The line settings are the command line's words of
// setting_values.h ("57600", "odd", "2", "16", "3"); a word outside its list is refused.
struct DownloadOverrides {
    std::optional<std::string> settings_file;  // MX40.ini to take the settings from
    std::optional<std::string> product;        // a product name of the product list
    std::optional<std::string> product_list;   // another product list file
    std::string port;                          // "COM<n>"; empty: the settings' port
    std::optional<std::string> loader;
    std::optional<std::string> code;   // none: no code file is sent
    std::optional<std::string> perso;  // none: no personalization file is sent
    std::optional<std::string> speed;
    std::optional<std::string> parity;
    std::optional<std::string> stop_bits;
    std::optional<std::string> bus;
    std::optional<std::string> wait_states;
    bool blind = false;  // Acknowledge off
    bool step = false;   // Pause on
    std::optional<int32_t> reboot_delay;
};

// What the download control is constructed with, kept together for the run.
struct DownloadRequest {
    CurrentSettings settings;
    FileRecords files;
    DownloadSwitches switches;
    OverlayStore store;
    uint64_t total_bytes = 0;  // the loader and the files sent
    std::string product;       // the chosen product as the list spells it; "" when none
};

// Why a request cannot be downloaded: its class and one line for the user.
struct RequestRefusal {
    OutcomeClass status = OutcomeClass::kBadRequest;
    std::string text;
};

// Fills request from overrides for the program whose files are `program`; a refusal instead when
// a file is missing or unreadable (kFileError), or when a value, the product, the port name or
// the loader is wrong or missing (kBadRequest). Files are checked after everything else.
std::optional<RequestRefusal> BuildDownloadRequest(const DownloadOverrides &overrides,
                                                   const ProgramFiles &program,
                                                   DownloadRequest &request);

}  // namespace dekvanto::core
