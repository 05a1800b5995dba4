// The start/stop command of the main window (button 1) and the engine's messages to it.
//
// One attempt runs synchronously inside OnStartStop: the checks, the records, the mapping check,
// then Mxl40_Download, which returns only when the download has ended. Meanwhile the engine
// dispatches the window's events, so OnStartStop is re-entered by a click on button 1 and then
// requests the stop.
//
// States (the download-active flag is 1 in checking and downloading):
//   idle         button "&Start download"; a press starts an attempt
//   checking     button "&Stop download"; the inputs are checked, the records filled
//   downloading  button "&Stop download", controls disabled, file watch stopped; the engine runs
//   stopping     button "&Start download", controls enabled; the engine has been told to stop
//                and has not returned yet. A press here is refused (nothing happens) until the
//                engine returns: a second download would share the line with the first.
//
// Start, step by step (every refusal shows its box and goes back to idle, no log line):
//   Mxl40_Init(0) (missing: "Sorry mxl40_Init() function doesn't exist", nothing changes);
//   button "&Stop download"; progress and byte counter back to 0;
//   code switch on and no code file: "Please Select Application file, Please!";
//   personalization switch on and no loader file: "Please Select Loader file, Please!";
//   the settings record from the current settings: Port is the number after "COM" minus one
//   (a port name without a number there refuses the attempt with a message naming it),
//   "Setting"/"RebootDelay" read from the store now (default 0), so an edit of the settings
//   file counts at the next download; copies of the paths (the code and personalization paths
//   only when their switch is on, else null);
//   both switches on: CheckMapCompat on the copies, its lines logged; anything but a compatible
//   result ends the attempt (a missing function refuses it with its message);
//   options: Pause and Acknowledge from the current settings, DebugMessages 1;
//   controls disabled, file watch stopped; Mxl40_Download (missing: "Sorry mxl40_Download()
//   function doesn't exist"); its result's low 16 bits logged as result_lines.h says ('2' also
//   sets the progress back to 0 first); back to idle with the controls enabled.
//
// Each attempt leaves its outcome (download_outcome.h): its class, the result character, the
// mapping check's answer, every log line it added (the engine's among them), the last byte
// count and how long the engine ran. A refusal before the engine ran leaves the class
// kBadRequest (a missing file choice, a port name without a number), the mapping check's class,
// or kOtherFailure (a missing engine function).
//
// Stop (a press while the flag is 1): Mxl40_StartStop(0) (missing: "Sorry mxl40_StartStop()
// function doesn't exist !" and the download goes on); button "&Start download", flag 0,
// controls enabled, file watch running. The engine then returns '3' or '4' and the start that is
// still in progress logs "DOWNLOAD CANCELED".
#pragma once

#include <cstdint>
#include <string>

#include "core/download/download_outcome.h"
#include "core/download/download_view.h"
#include "core/download/engine.h"
#include "core/download/engine_window.h"
#include "core/products/file_records.h"
#include "core/settings/current_settings.h"
#include "core/settings/settings_store.h"
#include "core/window/string_table.h"

namespace dekvanto::core {

enum class DownloadState { kIdle, kChecking, kDownloading, kStopping };

class DownloadControl final : public EngineMessageHandler {
  public:
    // Everything is read at the moment of each start: the current settings, the file records,
    // the main window's two switches and "RebootDelay" from the store.
    DownloadControl(Engine &engine, DownloadView &view, const CurrentSettings &settings,
                    const FileRecords &files, const DownloadSwitches &switches,
                    SettingsStore &store);
    DownloadControl(const DownloadControl &) = delete;
    DownloadControl &operator=(const DownloadControl &) = delete;

    // Button 1 (and Enter while idle): starts an attempt, or requests the stop of the running
    // one, or (stopping) does nothing.
    void OnStartStop();

    // The engine's messages: the byte count shows "Download : <n> bytes" and repaints; a log
    // line is copied into the log list; a progress step advances the bar.
    void OnEngineMessage(uint32_t message, uintptr_t wparam) override;

    // The main window asks to close. Refused, with "Stop the Downloader Before to Quit this
    // Application!", while an attempt is in progress, including a stop that the engine has not
    // answered yet (the engine still runs on this thread's stack). True when it may close.
    bool OnCloseRequest();

    // The download-active flag: 1 from the start of an attempt until it ends or is stopped.
    bool DownloadActive() const {
        return state_ == DownloadState::kChecking || state_ == DownloadState::kDownloading;
    }
    DownloadState State() const { return state_; }
    // How the last attempt ended (an empty outcome of class kOtherFailure before the first).
    const DownloadOutcome &Outcome() const { return outcome_; }

  private:
    void Start();
    void Stop();
    // Button back to "&Start download", repaint, flag 0; the controls and the file watch back on
    // when this attempt had turned them off.
    void BackToIdle();
    // The missing-input checks; false (after the box) when the attempt must end.
    bool CheckFileChoices();
    // The whole attempt after the records are filled; ends in idle.
    void RunDownload(Mx40Settings &settings, const std::string &loader, const std::string &code,
                     const std::string &perso);
    bool PassesMapCheck(const std::string &code, const std::string &perso);
    void AddLogString(StringId id);
    // Adds a line to the log list and to the attempt's outcome.
    void AddLogLine(std::string_view text);
    Mx40WindowHandle EngineWindowHandle();

    Engine &engine_;
    DownloadView &view_;
    const CurrentSettings &settings_;
    const FileRecords &files_;
    const DownloadSwitches &switches_;
    SettingsStore &store_;
#if !defined(_WIN32)
    EngineWindow window_;
#endif
    DownloadState state_ = DownloadState::kIdle;
    bool controls_off_ = false;
    DownloadOutcome outcome_;
};

}  // namespace dekvanto::core
