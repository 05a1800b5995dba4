#include "core/download/download_control.h"

#include <chrono>
#include <cstdio>
#include <limits>

#include "core/download/result_lines.h"
#include "core/ports/port_name.h"
#include "core/window/string_table.h"

namespace dekvanto::core {
namespace {

// The settings record's port field for a port name: its number minus one.
std::optional<int32_t> PortFieldOf(const std::string &port_name) {
    const auto number = NumberAfterPrefix(port_name);
    if (!number || *number == std::numeric_limits<int>::min()) {
        return std::nullopt;
    }
    return *number - 1;
}

std::string PortWithoutNumberText(const std::string &port_name) {
    std::string text(AppString(StringId::kPortNameWithoutNumber));
    const auto at = text.find("%s");
    text.replace(at, 2, port_name);
    return text;
}

}  // namespace

DownloadControl::DownloadControl(Engine &engine, DownloadView &view,
                                 const CurrentSettings &settings, const FileRecords &files,
                                 const DownloadSwitches &switches, SettingsStore &store)
    : engine_(engine),
      view_(view),
      settings_(settings),
      files_(files),
      switches_(switches),
      store_(store)
#if !defined(_WIN32)
      ,
      window_(*this, view)
#endif
{
}

void DownloadControl::OnStartStop() {
    switch (state_) {
        case DownloadState::kIdle:
            Start();
            break;
        case DownloadState::kChecking:
        case DownloadState::kDownloading:
            Stop();
            break;
        case DownloadState::kStopping:
            break;
    }
}

void DownloadControl::Start() {
    outcome_ = DownloadOutcome{};
    if (!engine_.Init(0)) {
        view_.ShowMessage(AppString(StringId::kNoInitFunction));
        return;
    }
    controls_off_ = false;
    view_.SetButtonText(AppString(StringId::kStopDownload));
    view_.Repaint();
    state_ = DownloadState::kChecking;

    view_.ResetProgress();
    view_.SetByteCounterText(ByteCounterText(0));
    view_.Repaint();

    if (!CheckFileChoices()) {
        outcome_.status = OutcomeClass::kBadRequest;
        BackToIdle();
        return;
    }
    // No platform check ("This Application won't run on Windows 3.1!"): a 32- or 64-bit program
    // cannot start on Windows 3.1, so the check could never fail.
    const auto port = PortFieldOf(settings_.port_name);
    if (!port) {
        outcome_.status = OutcomeClass::kBadRequest;
        view_.ShowMessage(PortWithoutNumberText(settings_.port_name));
        BackToIdle();
        return;
    }
    Mx40Settings record{};
    record.Port = *port;
    record.RamWaitState = settings_.wait_states;
    record.RamSize = settings_.ram_size;
    record.Speed = settings_.speed;
    record.Parity = settings_.parity;
    record.StopBit = settings_.stop_bits;
    record.RebootDelay = store_.ReadInt("Setting", "RebootDelay", 0);
    // The engine gets copies: a file chosen while it runs does not change this download.
    const std::string loader = files_.loader.path;
    const std::string code = files_.code.path;
    const std::string perso = files_.perso.path;
    RunDownload(record, loader, code, perso);
}

bool DownloadControl::CheckFileChoices() {
    if (switches_.code && files_.code.path.empty()) {
        view_.ShowMessage(AppString(StringId::kSelectApplicationFile));
        return false;
    }
    if (switches_.perso && files_.loader.path.empty()) {
        view_.ShowMessage(AppString(StringId::kSelectLoaderFile));
        return false;
    }
    return true;
}

void DownloadControl::RunDownload(Mx40Settings &settings, const std::string &loader,
                                  const std::string &code, const std::string &perso) {
    if (switches_.code && switches_.perso && !PassesMapCheck(code, perso)) {
        BackToIdle();
        return;
    }
    Mx40Files files{};
    files.LoadFilePath = loader.c_str();
    files.AppFilePath = switches_.code ? code.c_str() : nullptr;
    files.PersoFilePath = switches_.perso ? perso.c_str() : nullptr;
    Mx40Options options{};
    options.Pause = settings_.pause;
    options.Acknowledge = settings_.acknowledge;
    options.DebugMessages = 1;
    // Acknowledged or not is decided by the options this download was started with.
    const bool acknowledged = options.Acknowledge == 1;

    view_.EnableControls(false);
    view_.StopFileWatch();
    controls_off_ = true;
    state_ = DownloadState::kDownloading;
    const auto start = std::chrono::steady_clock::now();
    const auto result = engine_.Download(EngineWindowHandle(), &settings, &files, &options);
    if (!result) {
        outcome_.status = OutcomeClass::kOtherFailure;
        view_.ShowMessage(AppString(StringId::kNoDownloadFunction));
        BackToIdle();
        return;
    }
    outcome_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int32_t character = *result & 0xFFFF;
    outcome_.result = character;
    outcome_.status = ClassOfDownloadResult(character);
    state_ = DownloadState::kStopping;  // flag 0 while the lines are added
    if (character == MX40_RESULT_DONE) {
        view_.ResetProgress();
    }
    for (const StringId line : DownloadResultLines(character, acknowledged)) {
        AddLogString(line);
    }
    BackToIdle();
}

bool DownloadControl::PassesMapCheck(const std::string &code, const std::string &perso) {
    const auto result = engine_.CheckMapCompat(code.c_str(), perso.c_str());
    if (!result) {
        view_.ShowMessage(AppString(StringId::kNoCheckMapCompatFunction));
        return false;
    }
    outcome_.map_check = *result;
    outcome_.status = ClassOfMapCheck(*result);
    const MapCheckLines outcome = MapCheckResultLines(*result);
    for (const StringId line : outcome.lines) {
        AddLogString(line);
    }
    if (outcome.download_goes_on) {
        view_.Repaint();
    }
    return outcome.download_goes_on;
}

void DownloadControl::Stop() {
    if (!engine_.StartStop(0)) {
        view_.ShowMessage(AppString(StringId::kNoStartStopFunction));
        return;
    }
    // The engine only notes the request; it acts on it after this handler has returned.
    view_.SetButtonText(AppString(StringId::kStartDownload));
    view_.Repaint();
    state_ = DownloadState::kStopping;
    view_.EnableControls(true);
    view_.StartFileWatch();
}

void DownloadControl::BackToIdle() {
    view_.SetButtonText(AppString(StringId::kStartDownload));
    view_.Repaint();
    state_ = DownloadState::kIdle;
    if (controls_off_) {
        view_.EnableControls(true);
        view_.StartFileWatch();
        controls_off_ = false;
    }
}

void DownloadControl::OnEngineMessage(uint32_t message, uintptr_t wparam) {
    switch (message) {
        case MX40_WM_BYTE_COUNT:
            outcome_.bytes = static_cast<uint32_t>(wparam);
            view_.SetByteCounterText(
                ByteCounterText(static_cast<long>(static_cast<uint32_t>(wparam))));
            view_.Repaint();
            break;
        case MX40_WM_LOG_LINE:
            if (wparam != 0) {
                AddLogLine(reinterpret_cast<const char *>(wparam));
            }
            break;
        case MX40_WM_PROGRESS_STEP:
            view_.StepProgress();
            break;
        default:
            break;
    }
}

bool DownloadControl::OnCloseRequest() {
    if (state_ != DownloadState::kIdle) {
        view_.ShowMessage(AppString(StringId::kStopBeforeQuit));
        return false;
    }
    return true;
}

void DownloadControl::AddLogString(StringId id) {
    AddLogLine(AppString(id));
}

void DownloadControl::AddLogLine(std::string_view text) {
    outcome_.lines.emplace_back(text);
    view_.AddLogLine(text);
}

Mx40WindowHandle DownloadControl::EngineWindowHandle() {
#if defined(_WIN32)
    return view_.NativeWindow();
#else
    return window_.Handle();
#endif
}

}  // namespace dekvanto::core
