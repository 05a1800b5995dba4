// The start/stop command against a scripted engine and a recording view: the steps of an
// attempt, both result tables, missing engine functions, and the stop that re-enters the command
// from inside the engine's event dispatch.
#include "core/download/download_control.h"

#include <gtest/gtest.h>

#include "support/memory_store.h"
#include "support/recording_view.h"
#include "support/scripted_engine.h"

namespace dekvanto::core {
namespace {

using Events = std::vector<std::string>;

std::string Log(StringId id) {
    return "log " + std::string(AppString(id));
}
std::string Box(StringId id) {
    return "box " + std::string(AppString(id));
}

class DownloadControlTest : public ::testing::Test {
  protected:
    DownloadControlTest() {
        files.code.path = "/files/code.bin";
        files.loader.path = "/files/loader.bin";
        files.perso.path = "/files/perso.psb";
    }

    // Presses button 1 while the engine runs, at its first dispatch of events.
    void PressStopDuringDownload(int presses = 1) {
        engine.script = [this, presses](Mx40Window &window, const Mx40Files &) {
            view.on_dispatch = [this, presses] {
                for (int i = 0; i < presses; ++i) {
                    control.OnStartStop();
                }
                view.on_dispatch = nullptr;
                return false;
            };
            while (engine.running == 1 && view.dispatches < 1000) {
                window.pump(window.context);
            }
            return int32_t{MX40_RESULT_STOPPED};
        };
    }

    MemoryStore store;
    CurrentSettings settings;
    FileRecords files;
    DownloadSwitches switches;
    ScriptedEngine engine;
    RecordingView view;
    DownloadControl control{engine, view, settings, files, switches, store};
};

TEST_F(DownloadControlTest, SuccessfulAttemptRunsItsStepsInOrderAndFillsTheRecords) {
    settings.port_name = "COM3";
    settings.speed = 2;
    settings.parity = 1;
    settings.stop_bits = 1;
    settings.data_bits = 5;
    settings.ram_size = 1;
    settings.wait_states = 3;
    settings.acknowledge = 1;
    settings.pause = 1;
    store.Preset("Setting", "RebootDelay", "7");

    control.OnStartStop();

    EXPECT_EQ(view.events,
              (Events{"button &Stop download", "repaint", "progress reset",
                      "counter Download : 0 bytes", "repaint", "controls off", "watch stop",
                      "progress reset", Log(StringId::kDownloadCompleted), "button &Start download",
                      "repaint", "controls on", "watch start"}));
    EXPECT_EQ(engine.init_calls, std::vector<int32_t>{0});
    ASSERT_EQ(engine.downloads.size(), 1u);
    const DownloadCall &call = engine.downloads[0];
    EXPECT_EQ(call.settings.Port, 2);
    EXPECT_EQ(call.settings.RamWaitState, 3);
    EXPECT_EQ(call.settings.RamSize, 1);
    EXPECT_EQ(call.settings.Speed, 2);
    EXPECT_EQ(call.settings.Parity, 1);
    EXPECT_EQ(call.settings.StopBit, 1);
    EXPECT_EQ(call.settings.RebootDelay, 7);
    EXPECT_EQ(call.loader, "/files/loader.bin");
    EXPECT_EQ(call.code, "/files/code.bin");
    EXPECT_EQ(call.perso, std::nullopt);
    EXPECT_EQ(call.options.Pause, 1);
    EXPECT_EQ(call.options.Acknowledge, 1);
    EXPECT_EQ(call.options.DebugMessages, 1);
    EXPECT_TRUE(engine.map_checks.empty());
    EXPECT_EQ(control.State(), DownloadState::kIdle);
    EXPECT_FALSE(control.DownloadActive());
}

TEST_F(DownloadControlTest, DownloadResultsBecomeTheirLogLines) {
    using enum StringId;
    const StringId error = kDownloadError;
    const struct {
        int32_t result;
        std::vector<StringId> lines;
    } rows[] = {
        {'2', {kDataFullySent}},  // blind mode: Acknowledge is 0
        {'3', {kDownloadCanceled}},
        {'4', {kDownloadCanceled}},
        {'5', {error, kParityNotSupported}},
        {'6', {error, kSpeedNotSupported}},
        {'7', {error, kWaitStateNotSupported}},
        {'8', {error, kRamSizeNotSupported}},
        {'9', {error, kErrorOpeningComPort}},
        {':', {error, kErrorOpeningApplicationFile}},
        {';', {error, kErrorOpeningLoaderFile}},
        {'<', {error, kNoMemoryApplicationFile}},
        {'=', {error, kNoMemoryLoaderFile}},
        {'?', {error, kErrorReadingApplicationFile}},
        {'@', {error, kErrorReadingLoaderFile}},
        {'A', {error, kComParamError}},
        {'B', {error, kFileParamError}},
        {'D', {error, kErrorOpenPersoFile}},
        {'E', {error, kNotSynchronized}},
        {'G', {error, kBadAcknowledge}},
        {'H', {error, kNotAcknowledged}},
        {'>', {kDownloadErrorUnknown}},
        {'C', {kDownloadErrorUnknown}},
        {'F', {kDownloadErrorUnknown}},
        {'1', {kDownloadErrorUnknown}},
        {0, {kDownloadErrorUnknown}},
        {0x7FFF0000 | '9', {error, kErrorOpeningComPort}},  // only the low 16 bits count
        {0x00010000 | '2', {kDataFullySent}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.result);
        engine.script = [&row](Mx40Window &, const Mx40Files &) { return row.result; };
        view.log.clear();
        control.OnStartStop();
        std::vector<std::string> expected;
        for (const StringId id : row.lines) {
            expected.emplace_back(AppString(id));
        }
        EXPECT_EQ(view.log, expected);
        EXPECT_EQ(view.button, "&Start download");
        EXPECT_TRUE(view.controls_enabled);
        EXPECT_FALSE(control.DownloadActive());
    }
    settings.acknowledge = 1;
    view.log.clear();
    engine.script = [](Mx40Window &, const Mx40Files &) { return int32_t{'2'}; };
    control.OnStartStop();
    EXPECT_EQ(view.log, std::vector<std::string>{std::string(AppString(kDownloadCompleted))});
}

TEST_F(DownloadControlTest, OnlyASuccessSetsTheProgressBackToZero) {
    engine.script = [](Mx40Window &window, const Mx40Files &) {
        window.send(window.context, MX40_WM_PROGRESS_STEP, 0, 0);
        window.send(window.context, MX40_WM_PROGRESS_STEP, 0, 0);
        return int32_t{'9'};
    };
    control.OnStartStop();
    EXPECT_EQ(view.progress, 2);
    engine.script = [](Mx40Window &window, const Mx40Files &) {
        window.send(window.context, MX40_WM_PROGRESS_STEP, 0, 0);
        return int32_t{'2'};
    };
    control.OnStartStop();
    EXPECT_EQ(view.progress, 0);
}

TEST_F(DownloadControlTest, MappingCheckResultsDecideWhetherTheDownloadRuns) {
    using enum StringId;
    switches.perso = true;
    const struct {
        int32_t result;
        std::vector<StringId> lines;
        bool goes_on;
    } rows[] = {
        {MX40_MAP_COMPATIBLE, {kMappingOk, kDataFullySent}, true},
        {MX40_MAP_MISMATCH, {kMappingIncompatible, kDownloadError}, false},
        {MX40_MAP_NO_CODE_FILE, {kDownloadError, kMappingNoCodeFile}, false},
        {MX40_MAP_NO_PERSO_FILE, {kDownloadError, kMappingNoPersoFile}, false},
        {MX40_MAP_NOT_FOUND, {kMappingNotFound, kDownloadError}, false},
        {MX40_MAP_NO_PATH, {kDownloadErrorUnknown}, false},
        {0, {kDownloadErrorUnknown}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.result);
        engine.map_result = row.result;
        engine.downloads.clear();
        engine.map_checks.clear();
        view.log.clear();
        view.events.clear();
        control.OnStartStop();

        std::vector<std::string> expected;
        for (const StringId id : row.lines) {
            expected.emplace_back(AppString(id));
        }
        EXPECT_EQ(view.log, expected);
        ASSERT_EQ(engine.map_checks.size(), 1u);
        EXPECT_EQ(engine.map_checks[0],
                  std::make_pair(std::string("/files/code.bin"), std::string("/files/perso.psb")));
        EXPECT_EQ(engine.downloads.size(), row.goes_on ? 1u : 0u);
        // A refused attempt never disabled the controls.
        EXPECT_EQ(view.EventsOf("controls").size(), row.goes_on ? 2u : 0u);
        EXPECT_EQ(view.button, "&Start download");
        EXPECT_EQ(control.State(), DownloadState::kIdle);
    }
    ASSERT_EQ(engine.downloads.size(), 0u);
    engine.map_result = MX40_MAP_COMPATIBLE;
    control.OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 1u);
    EXPECT_EQ(engine.downloads[0].code, "/files/code.bin");
    EXPECT_EQ(engine.downloads[0].perso, "/files/perso.psb");
}

TEST_F(DownloadControlTest, SwitchesChooseThePathsAndTheMappingCheck) {
    switches.code = false;
    switches.perso = true;
    control.OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 1u);
    EXPECT_EQ(engine.downloads[0].code, std::nullopt);
    EXPECT_EQ(engine.downloads[0].perso, "/files/perso.psb");
    EXPECT_TRUE(engine.map_checks.empty());

    switches.perso = false;
    files.loader.path.clear();  // reaches the engine, which answers with its loader error
    control.OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 2u);
    EXPECT_EQ(engine.downloads[1].code, std::nullopt);
    EXPECT_EQ(engine.downloads[1].perso, std::nullopt);
    EXPECT_EQ(engine.downloads[1].loader, "");
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(DownloadControlTest, MissingFileChoicesRefuseTheAttemptWithABoxAndNoLogLine) {
    files.code.path.clear();
    control.OnStartStop();
    EXPECT_EQ(view.events,
              (Events{"button &Stop download", "repaint", "progress reset",
                      "counter Download : 0 bytes", "repaint",
                      Box(StringId::kSelectApplicationFile), "button &Start download", "repaint"}));

    view.events.clear();
    switches.code = false;
    switches.perso = true;
    files.loader.path.clear();
    control.OnStartStop();
    EXPECT_EQ(view.EventsOf("box "),
              std::vector<std::string>{std::string(AppString(StringId::kSelectLoaderFile))});
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(engine.downloads.empty());
    EXPECT_TRUE(engine.map_checks.empty());
    EXPECT_EQ(control.State(), DownloadState::kIdle);
}

TEST_F(DownloadControlTest, PortNameGivesThePortFieldOrRefusesTheAttempt) {
    const struct {
        const char *name;
        std::optional<int32_t> port;
    } rows[] = {
        {"COM1", 0},
        {"COM12", 11},
        {"com4", 3},
        {"COM 5", 4},
        {"COM7x", 6},
        {"COM", std::nullopt},
        {"PORT1", std::nullopt},
        {"CO", std::nullopt},
        {"COM99999999999", std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settings.port_name = row.name;
        engine.downloads.clear();
        view.boxes.clear();
        control.OnStartStop();
        if (row.port) {
            ASSERT_EQ(engine.downloads.size(), 1u);
            EXPECT_EQ(engine.downloads[0].settings.Port, *row.port);
            EXPECT_TRUE(view.boxes.empty());
        } else {
            EXPECT_TRUE(engine.downloads.empty());
            ASSERT_EQ(view.boxes.size(), 1u);
            EXPECT_NE(view.boxes[0].find(std::string("port ") + row.name + " has no number"),
                      std::string::npos)
                << view.boxes[0];
            EXPECT_EQ(control.State(), DownloadState::kIdle);
            EXPECT_TRUE(view.controls_enabled);
        }
    }
}

TEST_F(DownloadControlTest, RebootDelayIsReadAtEachStart) {
    control.OnStartStop();
    store.Preset("Setting", "RebootDelay", "12");
    control.OnStartStop();
    store.Preset("Setting", "rebootdelay", "-3");
    control.OnStartStop();
    ASSERT_EQ(engine.downloads.size(), 3u);
    EXPECT_EQ(engine.downloads[0].settings.RebootDelay, 0);
    EXPECT_EQ(engine.downloads[1].settings.RebootDelay, 12);
    EXPECT_EQ(engine.downloads[2].settings.RebootDelay, -3);
}

TEST_F(DownloadControlTest, MissingEngineFunctionsShowTheirBoxes) {
    engine.has_init = false;
    control.OnStartStop();
    EXPECT_EQ(view.events, Events{Box(StringId::kNoInitFunction)});
    EXPECT_EQ(control.State(), DownloadState::kIdle);

    engine.has_init = true;
    engine.has_download = false;
    view.events.clear();
    control.OnStartStop();
    const Events tail(view.events.end() - 5, view.events.end());
    EXPECT_EQ(tail, (Events{Box(StringId::kNoDownloadFunction), "button &Start download", "repaint",
                            "controls on", "watch start"}));
    EXPECT_TRUE(view.log.empty());

    engine.has_download = true;
    engine.has_map_check = false;
    switches.perso = true;
    view.events.clear();
    control.OnStartStop();
    EXPECT_EQ(view.boxes.back(), AppString(StringId::kNoCheckMapCompatFunction));
    EXPECT_TRUE(engine.downloads.empty());
    EXPECT_EQ(view.EventsOf("controls").size(), 0u);
    EXPECT_EQ(control.State(), DownloadState::kIdle);
}

TEST_F(DownloadControlTest, StopPressedDuringTheDownloadReentersAndCancels) {
    settings.acknowledge = 0;
    PressStopDuringDownload();
    control.OnStartStop();

    EXPECT_EQ(engine.start_stop_calls, std::vector<int32_t>{0});
    EXPECT_EQ(view.log,
              std::vector<std::string>{std::string(AppString(StringId::kDownloadCanceled))});
    // The window showed idle from the stop on: button, then controls and file watch, before the
    // engine returned and the cancel line came.
    const Events expected_tail = {"controls off",
                                  "watch stop",
                                  "button &Start download",
                                  "repaint",
                                  "controls on",
                                  "watch start",
                                  Log(StringId::kDownloadCanceled),
                                  "button &Start download",
                                  "repaint",
                                  "controls on",
                                  "watch start"};
    const Events tail(view.events.end() - static_cast<long>(expected_tail.size()),
                      view.events.end());
    EXPECT_EQ(tail, expected_tail);
    EXPECT_EQ(control.State(), DownloadState::kIdle);
    EXPECT_EQ(engine.downloads.size(), 1u);
}

TEST_F(DownloadControlTest, StartWhileTheEngineIsStillStoppingIsRefusedUntilItReturns) {
    std::vector<DownloadState> seen;
    std::vector<bool> close_allowed;
    engine.script = [&](Mx40Window &window, const Mx40Files &) {
        view.on_dispatch = [&] {
            close_allowed.push_back(control.OnCloseRequest());  // downloading
            control.OnStartStop();                              // stop
            seen.push_back(control.State());
            EXPECT_FALSE(control.DownloadActive());
            control.OnStartStop();  // a start while the engine has not returned
            control.OnStartStop();
            seen.push_back(control.State());
            close_allowed.push_back(control.OnCloseRequest());  // stopping
            return false;
        };
        window.pump(window.context);
        view.on_dispatch = nullptr;
        return int32_t{MX40_RESULT_STOPPED_WAITING};
    };
    control.OnStartStop();

    EXPECT_EQ(seen,
              (std::vector<DownloadState>{DownloadState::kStopping, DownloadState::kStopping}));
    EXPECT_EQ(close_allowed, (std::vector<bool>{false, false}));
    EXPECT_EQ(view.boxes,
              (std::vector<std::string>(2, std::string(AppString(StringId::kStopBeforeQuit)))));
    EXPECT_EQ(engine.init_calls.size(), 1u);
    EXPECT_EQ(engine.start_stop_calls, std::vector<int32_t>{0});
    EXPECT_EQ(engine.downloads.size(), 1u);
    EXPECT_TRUE(control.OnCloseRequest());

    // Once the engine has returned, the next press starts again.
    engine.script = nullptr;
    control.OnStartStop();
    EXPECT_EQ(engine.downloads.size(), 2u);
}

TEST_F(DownloadControlTest, MissingStartStopLeavesTheDownloadRunning) {
    engine.has_start_stop = false;
    engine.script = [&](Mx40Window &window, const Mx40Files &) {
        view.on_dispatch = [&] {
            control.OnStartStop();
            return false;
        };
        window.pump(window.context);
        view.on_dispatch = nullptr;
        EXPECT_EQ(control.State(), DownloadState::kDownloading);
        EXPECT_EQ(view.button, "&Stop download");
        EXPECT_FALSE(view.controls_enabled);
        return int32_t{'2'};
    };
    control.OnStartStop();
    EXPECT_EQ(view.boxes,
              std::vector<std::string>{std::string(AppString(StringId::kNoStartStopFunction))});
    EXPECT_EQ(view.log, std::vector<std::string>{std::string(AppString(StringId::kDataFullySent))});
}

TEST_F(DownloadControlTest, EngineMessagesReachTheViewThroughTheWindowRecord) {
    engine.script = [&](Mx40Window &window, const Mx40Files &) {
        char line[] = "Open COM1";
        window.send(window.context, MX40_WM_LOG_LINE, reinterpret_cast<uintptr_t>(line), 0);
        line[0] = 'X';  // the engine's text is valid only during the message
        window.send(window.context, MX40_WM_LOG_LINE, 0, 0);
        window.send(window.context, MX40_WM_BYTE_COUNT, 51000, 0);
        window.send(window.context, MX40_WM_BYTE_COUNT, 0xFFFFFFFFu, 0);
        window.send(window.context, MX40_WM_USER + 0x40, 1, 0);
        for (int i = 0; i < 101; ++i) {
            window.send(window.context, MX40_WM_PROGRESS_STEP, 0, 0);
        }
        window.message_box(window.context, "Press return");
        return int32_t{'9'};
    };
    control.OnStartStop();
    EXPECT_EQ(view.log.front(), "Open COM1");
    EXPECT_EQ(view.log.size(), 3u);  // the line, then the two lines of the port error
    EXPECT_EQ(view.EventsOf("counter "), (Events{"Download : 0 bytes", "Download : 51000 bytes",
                                                 "Download : 4294967295 bytes"}));
    EXPECT_EQ(view.progress, 0);  // 101 steps past the maximum of 100 start again from 0
    EXPECT_EQ(view.boxes, std::vector<std::string>{"Press return"});
}

// What an attempt leaves for a front end that reports beyond the log list; each start begins
// afresh.
TEST_F(DownloadControlTest, EachAttemptLeavesItsOutcome) {
    using Lines = std::vector<std::string>;
    switches.perso = true;
    engine.script = [&](Mx40Window &window, const Mx40Files &) {
        char line[] = "Open COM1";
        window.send(window.context, MX40_WM_LOG_LINE, reinterpret_cast<uintptr_t>(line), 0);
        window.send(window.context, MX40_WM_BYTE_COUNT, 51000, 0);
        return int32_t{0x10000 + '9'};
    };
    control.OnStartStop();
    const DownloadOutcome &outcome = control.Outcome();
    EXPECT_EQ(outcome.status, OutcomeClass::kPortError);
    EXPECT_EQ(outcome.result, '9');
    EXPECT_EQ(outcome.map_check, MX40_MAP_COMPATIBLE);
    EXPECT_EQ(outcome.bytes, 51000u);
    EXPECT_EQ(outcome.lines,
              (Lines{"Mapping compatibility is OK, domwnload start.", "Open COM1",
                     "------------------------DOWNLOAD ERROR-----------------------------------",
                     "---------------------Error opening com port----------------------"}));

    engine.map_result = MX40_MAP_MISMATCH;
    control.OnStartStop();
    EXPECT_EQ(outcome.status, OutcomeClass::kMappingRefused);
    EXPECT_EQ(outcome.result, std::nullopt);
    EXPECT_EQ(outcome.map_check, MX40_MAP_MISMATCH);
    EXPECT_EQ(outcome.bytes, 0u);
    EXPECT_EQ(outcome.lines,
              (Lines{"----- Mapping Compatibility error between code and Perso ! -----",
                     "------------------------DOWNLOAD ERROR-----------------------------------"}));

    // A compatible pair and then no download function: the attempt did not finish.
    engine.map_result = MX40_MAP_COMPATIBLE;
    engine.has_download = false;
    control.OnStartStop();
    EXPECT_EQ(outcome.status, OutcomeClass::kOtherFailure);

    files.code.path.clear();
    control.OnStartStop();
    EXPECT_EQ(outcome.status, OutcomeClass::kBadRequest);
    EXPECT_EQ(outcome.map_check, std::nullopt);
    EXPECT_TRUE(outcome.lines.empty());
}

TEST_F(DownloadControlTest, EnginePathsStayAsTheyWereWhenAFileIsChosenDuringTheDownload) {
    switches.perso = true;
    engine.script = [&](Mx40Window &, const Mx40Files &record) {
        files.code.path = "/elsewhere/other-code-file-with-a-longer-name.bin";
        files.loader.path.clear();
        EXPECT_STREQ(record.AppFilePath, "/files/code.bin");
        EXPECT_STREQ(record.LoadFilePath, "/files/loader.bin");
        EXPECT_STREQ(record.PersoFilePath, "/files/perso.psb");
        return int32_t{'2'};
    };
    control.OnStartStop();
    EXPECT_EQ(engine.downloads.size(), 1u);
}

}  // namespace
}  // namespace dekvanto::core
