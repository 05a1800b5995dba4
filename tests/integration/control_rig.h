// The application's download control as the window holds it, over the real engine library and
// the simulated phone: the sample files chosen and summarised, acknowledged mode, the settings
// file on disk, and a recording view in place of the window.
#pragma once

#include <memory>
#include <string>

#include "core/download/download_control.h"
#include "core/download/engine_library.h"
#include "core/products/file_records.h"
#include "core/settings/current_settings.h"
#include "core/settings/ini_file.h"
#include "download_rig.h"
#include "support/recording_view.h"

namespace dekvanto::core {

class ControlRig : public dekvanto::testing::DownloadRig {
  public:
    // Writes the sample set of these sizes and a settings file ("RebootDelay=0"), loads the engine
    // library and chooses the set's files, each switched on when the set has it. Throws
    // std::runtime_error when the library does not load or a file does not open.
    explicit ControlRig(dekvanto::testing::SampleSizes sizes);

    // Starts a phone as `phone` describes, makes its COM<n> the current port and presses
    // "&Start download"; returns once the attempt and the phone's session have ended.
    dekvanto::testing::PhoneRun PressStart();

    std::unique_ptr<EngineLibrary> engine;
    FileRecords file_records;  // the window's current files
    DownloadSwitches switches;
    CurrentSettings settings;
    IniFile store;
    RecordingView view;
    std::unique_ptr<DownloadControl> control;
    std::string port;  // the last attempt's COM<n>
};

}  // namespace dekvanto::core
