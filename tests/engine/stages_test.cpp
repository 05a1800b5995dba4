// Whole downloads on test doubles: what goes on the line, when answers are read, what the window
// is told, and how every failure and stop ends.
#include <gtest/gtest.h>

#include <numeric>

#include "scripted_download.h"

namespace dekvanto::engine {
namespace {

using testing::Frame;
using testing::ScriptedDownload;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

Bytes Pattern(std::size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

// The log lines between "Starting Time" and the finish line.
Lines MiddleLines(const ScriptedDownload &download) {
    Lines lines = download.window.LogLines();
    EXPECT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().rfind("Starting Time : ", 0), 0u);
    return Lines(lines.begin() + 1, lines.end() - 1);
}

void ExpectEverythingReleased(const ScriptedDownload &download) {
    EXPECT_FALSE(download.port.is_open);
    EXPECT_EQ(download.file_source.open_files, 0);
    EXPECT_EQ(testing::g_live_blocks, 0);
}

// Every frame goes at the speed of its phase: the first two at 2400 bit/s, the personalization
// file at 115200, everything between at the download speed.
void ExpectEveryFrameAtItsSpeed(const ScriptedDownload &download, uint32_t download_rate) {
    for (std::size_t i = 0; i < download.frames.size(); ++i) {
        const Frame kind = download.frames[i].kind;
        const uint32_t expected = kind == Frame::kTarget || kind == Frame::kLine ? 2400
                                  : kind == Frame::kPersoSize || kind == Frame::kPerso
                                      ? 115200
                                      : download_rate;
        EXPECT_EQ(download.frames[i].bit_rate, expected) << "frame " << i;
    }
}

TEST(WholeDownload, AcknowledgedWithAllThreeFiles) {
    ScriptedDownload download;
    download.SetLoader(Pattern(1000, 1));
    download.SetCode(Pattern(20000, 2));
    download.SetPerso(Pattern(30000, 3));
    download.settings.Speed = 2;
    ASSERT_EQ(download.Run(), '2');

    EXPECT_EQ(download.frames[0].bytes, Bytes{0x20});  // bus size 16 bits, no wait states
    EXPECT_EQ(download.frames[1].bytes,
              (Bytes{0x06, 'S', 8, 'P', 0, 'T', 1, 0x06 ^ 'S' ^ 8 ^ 'P' ^ 'T' ^ 1}));
    EXPECT_EQ(download.Received(Frame::kLoader), Pattern(1000, 1));
    EXPECT_EQ(download.Received(Frame::kCode), Pattern(20000, 2));
    EXPECT_EQ(download.Received(Frame::kPerso), Pattern(30000, 3));
    EXPECT_EQ(download.CountFrames(Frame::kLoader), 32);
    EXPECT_EQ(download.CountFrames(Frame::kCode), 79);
    EXPECT_EQ(download.CountFrames(Frame::kPerso), 118);
    ExpectEveryFrameAtItsSpeed(download, 230400);
    const auto request = std::find_if(download.frames.begin(), download.frames.end(),
                                      [](auto &f) { return f.kind == Frame::kRequest; });
    EXPECT_EQ(request->bytes, Bytes{0x43});
    const auto sum = std::find_if(download.frames.begin(), download.frames.end(),
                                  [](auto &f) { return f.kind == Frame::kSum; });
    const Bytes code = Pattern(20000, 2);
    const uint16_t expected_sum =
        static_cast<uint16_t>(0xFFFF - std::accumulate(code.begin(), code.end(), 0u));
    EXPECT_EQ(sum->bytes[2] | sum->bytes[3] << 8, expected_sum);

    EXPECT_EQ(
        MiddleLines(download),
        (Lines{"Open COM3", "Set Speed (230400)", "Download loader.bin",
               " -> Starting Flash writing", "Download code.bin", " -> Start End of Flash erasing",
               " -> End of flash Erased", "Download perso.psb", "Close COM3"}));
    EXPECT_EQ(download.window.LogLines().back().rfind("Finish Time : ", 0), 0u);
    EXPECT_EQ(download.window.CountOf(MX40_WM_PROGRESS_STEP), 100);
    const auto &last_count =
        *std::find_if(download.window.messages.rbegin(), download.window.messages.rend(),
                      [](auto &m) { return m.message == MX40_WM_BYTE_COUNT; });
    EXPECT_EQ(last_count.wparam, 51000u);
    EXPECT_EQ(download.port.calls.back(), "release");
    ExpectEverythingReleased(download);
}

TEST(WholeDownload, AnswersAreReadInGroupsOfFiveAndEveryPersoBlockAlone) {
    ScriptedDownload download;
    download.SetLoader(Pattern(320, 1));  // ten blocks
    download.SetCode(Pattern(1281, 2));   // six blocks
    download.SetPerso(Pattern(600, 3));   // three blocks
    ASSERT_EQ(download.Run(), '2');
    // Writes: 0 target, 1 line, 2..11 loader, 12 end, 13 request, 14 size, 15..20 code, 21 sum,
    // 22 perso size, 23..25 perso.
    const std::vector<std::size_t> expected = {
        2,                                       // line setup frame
        7,  7,  7,  7,  7,  12, 12, 12, 12, 12,  // loader: after the 5th and the 10th block
        13,                                      // the loader's '8' after the end frame
        15,                                      // code size
        20, 20, 20, 20, 20, 21,                  // code: after the 5th and after the 6th
        22, 22, 22,                              // checksum, erase start, erase end
        22,                                      // the resident boot loader is ready
        23, 24, 25, 26, 26};                     // perso size, each block, the final '8'
    EXPECT_EQ(download.port.read_positions, expected);
}

TEST(WholeDownload, BlindModeReadsNothingAndWaitsForTheRestart) {
    ScriptedDownload download;
    download.options.Acknowledge = 0;
    download.settings.RebootDelay = 3;
    download.SetCode(Pattern(700, 2));
    download.SetPerso(Pattern(300, 3));
    const uint64_t before = download.clock.elapsed_ms_;
    ASSERT_EQ(download.Run(), '2');
    EXPECT_EQ(download.port.reads, 0);
    EXPECT_GE(download.clock.elapsed_ms_ - before, 3000u);
    EXPECT_EQ(MiddleLines(download),
              (Lines{"Open COM3", "Set Speed (115200)", "Download loader.bin", "Download code.bin",
                     "Waiting DEKE Reboot (3 secondes)", "Download perso.psb", "Close COM3"}));
    EXPECT_EQ(download.Received(Frame::kPerso), Pattern(300, 3));
    ExpectEverythingReleased(download);
}

// Nothing on the line tells a blind download when to switch speed; the engine must still send
// each frame at the speed of its phase.
TEST(WholeDownload, BlindModeSendsEveryFrameAtTheSpeedOfItsPhase) {
    const uint32_t rates[] = {57600, 115200, 230400, 460800};
    for (int32_t speed = 0; speed < 4; ++speed) {
        SCOPED_TRACE(rates[speed]);
        ScriptedDownload download;
        download.options.Acknowledge = 0;
        download.settings.Speed = speed;
        download.SetCode(Pattern(700, 2));
        download.SetPerso(Pattern(300, 3));
        ASSERT_EQ(download.Run(), '2');
        EXPECT_EQ(download.port.reads, 0);
        EXPECT_EQ(download.CountFrames(Frame::kPerso), 2);
        ExpectEveryFrameAtItsSpeed(download, rates[speed]);
    }
}

TEST(WholeDownload, RestartWaitOnlyWhenBothAcknowledgeAndPauseAreZero) {
    ScriptedDownload blind_zero;
    blind_zero.options.Acknowledge = 0;
    blind_zero.SetPerso(Pattern(10, 3));
    ASSERT_EQ(blind_zero.Run(), '2');
    EXPECT_EQ(MiddleLines(blind_zero)[3], "Waiting DEKE Reboot (0 secondes)");

    ScriptedDownload odd_value;  // Acknowledge 2 is blind mode, but not a plain 0
    odd_value.options.Acknowledge = 2;
    odd_value.settings.RebootDelay = 100;
    odd_value.SetPerso(Pattern(10, 3));
    ASSERT_EQ(odd_value.Run(), '2');
    EXPECT_EQ(odd_value.port.reads, 0);
    EXPECT_LT(odd_value.clock.elapsed_ms_, 100000u);

    ScriptedDownload negative;  // a negative delay waits nothing rather than for weeks
    negative.options.Acknowledge = 0;
    negative.settings.RebootDelay = -5;
    negative.SetPerso(Pattern(10, 3));
    ASSERT_EQ(negative.Run(), '2');
    EXPECT_LT(negative.clock.elapsed_ms_, 10000u);
}

TEST(WholeDownload, StepModePromptsAndTakesThePromptTimeOffTheRestartWait) {
    ScriptedDownload download;
    download.options.Pause = 1;
    download.SetCode(Pattern(300, 2));
    download.SetPerso(Pattern(300, 3));
    download.window.on_prompt = [&] { download.clock.Advance(10000); };
    ASSERT_EQ(download.Run(), '2');
    EXPECT_EQ(download.window.prompts,
              (Lines{"Hit return to start application file download !!!",
                     "Hit return to start personalisation File Download !!!"}));

    ScriptedDownload quiet;  // without debug messages only the code file's prompt shows
    quiet.options.Pause = 1;
    quiet.options.DebugMessages = 0;
    quiet.SetCode(Pattern(300, 2));
    quiet.SetPerso(Pattern(300, 3));
    ASSERT_EQ(quiet.Run(), '2');
    EXPECT_EQ(quiet.window.prompts, Lines{"Hit return to start application file download !!!"});
}

// The restart wait's time-out as the line was told, for a prompt open for prompt_ms.
uint32_t RestartWaitAfterPrompt(uint32_t prompt_ms) {
    ScriptedDownload download;
    download.options.Pause = 1;
    download.SetPerso(Pattern(10, 3));
    download.window.on_prompt = [&] { download.clock.Advance(prompt_ms); };
    download.Answer(Frame::kRequest, 0, {});  // no '8': the wait runs out and shows its time-out
    EXPECT_EQ(download.Run(), 'E');
    EXPECT_EQ(download.window.boxes.back(), "No synchronisation with DEKE !!");
    return download.port.read_timeout - 50;
}

TEST(WholeDownload, PromptTimeIsTakenOffTheSixtySecondsWithTheUnsignedWrap) {
    EXPECT_EQ(RestartWaitAfterPrompt(10000), 50000u);
    EXPECT_EQ(RestartWaitAfterPrompt(0), 60000u);
    EXPECT_EQ(RestartWaitAfterPrompt(59999), 1u);
    EXPECT_EQ(RestartWaitAfterPrompt(60000), 0u);      // nothing left: one last short read
    EXPECT_EQ(RestartWaitAfterPrompt(60001), 60000u);  // the subtraction wraps: a full wait
}

TEST(WholeDownload, WithoutFilesOnlyTheLoaderAndTheRequestByteGo) {
    ScriptedDownload download;
    ASSERT_EQ(download.Run(), '2');
    EXPECT_EQ(download.frames.back().kind, Frame::kRequest);
    EXPECT_EQ(download.frames.back().bytes, Bytes{0x40});
    EXPECT_EQ(MiddleLines(download),
              (Lines{"Open COM3", "Set Speed (115200)", "Download loader.bin", "Close COM3"}));

    ScriptedDownload empty_loader;
    empty_loader.SetLoader({});
    ASSERT_EQ(empty_loader.Run(), '2');
    EXPECT_EQ(empty_loader.CountFrames(Frame::kLoader), 0);
    EXPECT_EQ(empty_loader.CountFrames(Frame::kLoaderEnd), 1);
    // After the target byte, the line frame and the end frame, the engine waits for '8'.
    EXPECT_EQ(empty_loader.port.read_positions.back(), 3u);
}

TEST(WholeDownload, CodeFileOnlyNeverChangesSpeedAgain) {
    ScriptedDownload download;
    download.settings.Speed = 0;
    download.SetCode(Pattern(1280, 2));
    ASSERT_EQ(download.Run(), '2');
    EXPECT_EQ(download.frames.back().kind, Frame::kSum);
    EXPECT_EQ(download.frames.back().bit_rate, 57600u);
    EXPECT_EQ(download.CountFrames(Frame::kCode), 5);
}

TEST(WholeDownload, WithoutWindowNothingIsSentAndTheResultIsTheSame) {
    ScriptedDownload download;
    download.window = testing::RecordingWindow(false);
    download.SetCode(Pattern(5000, 2));
    ASSERT_EQ(download.Run(), '2');
    EXPECT_TRUE(download.window.messages.empty());
    EXPECT_EQ(download.Received(Frame::kCode), Pattern(5000, 2));
}

struct AnswerFault {
    const char *name;
    Frame frame;
    int n;
    Bytes answer;
    int32_t result;
    const char *box;    // message box shown, or null
    bool close_logged;  // "Close COM3" logged
};

void PrintTo(const AnswerFault &fault, std::ostream *out) {
    *out << fault.name;
}

class AnswerFaults : public ::testing::TestWithParam<AnswerFault> {};

TEST_P(AnswerFaults, EndTheDownloadWithTheirCode) {
    const AnswerFault &fault = GetParam();
    ScriptedDownload download;
    download.SetLoader(Pattern(200, 1));
    download.SetCode(Pattern(2000, 2));
    download.SetPerso(Pattern(600, 3));
    download.Answer(fault.frame, fault.n, fault.answer);
    EXPECT_EQ(download.Run(), fault.result);
    if (fault.box != nullptr) {
        EXPECT_EQ(download.window.boxes, Lines{fault.box});
    } else {
        EXPECT_TRUE(download.window.boxes.empty());
    }
    EXPECT_EQ(download.window.LogLines().back() == "Close COM3", fault.close_logged);
    ExpectEverythingReleased(download);
}

INSTANTIATE_TEST_SUITE_P(
    Phone, AnswerFaults,
    ::testing::Values(
        AnswerFault{"LineFrameRefused", Frame::kLine, 0, {0x15}, 'G', nullptr, true},
        AnswerFault{"LineFrameSilent", Frame::kLine, 0, {}, 'H', nullptr, true},
        AnswerFault{"LoaderBlockRefused", Frame::kLoader, 3, {0x15}, 'G', nullptr, true},
        AnswerFault{"LoaderBlockSilent", Frame::kLoader, 6, {}, 'H', nullptr, true},
        AnswerFault{"LoaderNeverReady",
                    Frame::kLoaderEnd,
                    0,
                    {},
                    'E',
                    "No synchonisation with loader !!",
                    false},
        AnswerFault{"LoaderSaysSomethingElse",
                    Frame::kLoaderEnd,
                    0,
                    {'7'},
                    'E',
                    "No synchonisation with loader !!",
                    false},
        AnswerFault{"CodeSizeRefused", Frame::kCodeSize, 0, {0x15}, 'H', nullptr, true},
        AnswerFault{"CodeSizeSilent", Frame::kCodeSize, 0, {}, 'H', nullptr, true},
        AnswerFault{"CodeBlockRefused", Frame::kCode, 6, {0x15}, 'G', nullptr, true},
        AnswerFault{"CodeBlockSilent", Frame::kCode, 2, {}, 'H', nullptr, true},
        AnswerFault{"ChecksumRefused", Frame::kSum, 0, {0x15}, 'G', nullptr, true},
        AnswerFault{"ChecksumSilent", Frame::kSum, 0, {}, 'H', nullptr, true},
        AnswerFault{"EraseNeverStarts",
                    Frame::kSum,
                    0,
                    {0x06},
                    'E',
                    "No synchonisation with loader !!",
                    false},
        AnswerFault{"EraseNeverEnds",
                    Frame::kSum,
                    0,
                    {0x06, '8'},
                    'E',
                    "No synchonisation with loader !!",
                    false},
        AnswerFault{"DekeNeverReady",
                    Frame::kSum,
                    0,
                    {0x06, '8', '8'},
                    'E',
                    "No synchronisation with DEKE !!",
                    false},
        AnswerFault{"PersoSizeRefused", Frame::kPersoSize, 0, {0x21}, 'G', nullptr, true},
        AnswerFault{"PersoBlockSilent", Frame::kPerso, 1, {}, 'H', nullptr, true},
        AnswerFault{"PersoNeverConfirmed",
                    Frame::kPerso,
                    2,
                    {0x06},
                    'E',
                    "No synchronisation with DEKE !!",
                    false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WholeDownload, TimeoutsOfTheSynchronisationWaits) {
    // Each wait that gets no '8' runs out after its own time plus 75 ms.
    struct Wait {
        Frame frame;
        Bytes answer;
        uint32_t ms;
    };
    for (const Wait &w :
         {Wait{Frame::kLoaderEnd, {}, 5000}, Wait{Frame::kSum, {0x06}, 20000},
          Wait{Frame::kSum, {0x06, '8'}, 60000}, Wait{Frame::kSum, {0x06, '8', '8'}, 60000},
          Wait{Frame::kPerso, {0x06}, 10000}}) {
        ScriptedDownload download;
        download.SetCode(Pattern(100, 2));
        download.SetPerso(Pattern(100, 3));
        download.Answer(w.frame, 0, w.answer);
        EXPECT_EQ(download.Run(), 'E');
        EXPECT_EQ(download.port.read_timeout, w.ms + 50);
    }
}

TEST(WholeDownload, FilesThatCannotBeReadEndBeforeTheLoaderIsSent) {
    struct FileFault {
        const char *path;
        int32_t result;
        std::function<void(ScriptedDownload &)> arrange;
    };
    const FileFault faults[] = {
        {"loader missing", ';', [](auto &b) { b.files.LoadFilePath = "nowhere.bin"; }},
        {"code missing", ':', [](auto &b) { b.files.AppFilePath = "nowhere.bin"; }},
        {"perso missing", 'D', [](auto &b) { b.files.PersoFilePath = "nowhere.psb"; }},
        {"loader memory", '=', [](auto &b) { b.file_source.refuse_allocation_of = 100; }},
        {"code memory", '<', [](auto &b) { b.file_source.refuse_allocation_of = 4000; }},
        {"perso memory", '<', [](auto &b) { b.file_source.refuse_allocation_of = 3000; }},
        {"loader short", '@', [](auto &b) { b.file_source.short_reads["loader.bin"] = 99; }},
        {"code short", '?', [](auto &b) { b.file_source.short_reads["code.bin"] = 0; }},
        {"perso short", '?', [](auto &b) { b.file_source.short_reads["perso.psb"] = 2999; }},
    };
    for (const FileFault &fault : faults) {
        SCOPED_TRACE(fault.path);
        ScriptedDownload download;
        download.SetCode(Pattern(4000, 2));
        download.SetPerso(Pattern(3000, 3));
        fault.arrange(download);
        EXPECT_EQ(download.Run(), fault.result);
        EXPECT_EQ(download.frames.size(), 2u);  // target byte and line setup frame only
        EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
        ExpectEverythingReleased(download);
    }
}

TEST(WholeDownload, RefusedSpeedSwitchGives6) {
    ScriptedDownload download;
    download.port.refuse_bit_rates = true;
    EXPECT_EQ(download.Run(), '6');
    EXPECT_EQ(download.window.boxes,
              Lines{"Error in COM port Configuration:  \n Speed not supported by this COM"});
    EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
}

TEST(Stopping, DuringTheFirstPausesGives4) {
    // The pauses pump every 10 ms and once just past their end: 12 passes after the target byte,
    // 12 after the line frame, 2 after the speed switch.
    for (int stop_at_pump : {1, 15, 25}) {  // after the target byte, the line frame, the switch
        ScriptedDownload download;
        download.window.on_pump = [&](int pump) {
            if (pump == stop_at_pump) {
                download.state.running = 0;
            }
            return false;
        };
        EXPECT_EQ(download.Run(), '4');
        EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
        EXPECT_EQ(download.CountFrames(Frame::kLoader), 0);
    }
    ScriptedDownload quit;
    quit.window.on_pump = [](int pump) { return pump == 1; };
    EXPECT_EQ(quit.Run(), '4');
    EXPECT_EQ(quit.frames.size(), 1u);
}

TEST(Stopping, DuringTheLoaderReportsTheBytesThenCloses) {
    ScriptedDownload download;
    download.SetLoader(Pattern(3200, 1));
    download.SetCode(Pattern(10000, 2));
    int progress_pumps = 0;
    download.window.on_pump = [&](int) {
        if (download.CountFrames(Frame::kLoader) > 0 && ++progress_pumps == 2) {
            download.state.running = 0;
        }
        return false;
    };
    EXPECT_EQ(download.Run(), '3');
    const auto &messages = download.window.messages;
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].message, MX40_WM_BYTE_COUNT);
    EXPECT_EQ(messages.back().text, "Close COM3");
    EXPECT_LT(download.CountFrames(Frame::kLoader), 100);
    ExpectEverythingReleased(download);
}

TEST(Stopping, DuringTheCodeFileEndsAfterTheCurrentBlockWithoutByteCount) {
    ScriptedDownload download;
    download.SetCode(Pattern(50000, 2));
    int code_pumps = 0;
    download.window.on_pump = [&](int) {
        if (download.CountFrames(Frame::kCode) > 0 && ++code_pumps == 3) {
            download.state.running = 0;
        }
        return false;
    };
    EXPECT_EQ(download.Run(), '3');
    EXPECT_EQ(download.frames.back().kind, Frame::kCode);
    const auto &messages = download.window.messages;
    EXPECT_EQ(messages.back().text, "Close COM3");
    EXPECT_NE(messages[messages.size() - 2].message, MX40_WM_BYTE_COUNT);
    ExpectEverythingReleased(download);
}

TEST(Stopping, DuringTheRestartWaitIsSeenAtTheFirstBlock) {
    ScriptedDownload download;
    download.options.Acknowledge = 0;
    download.settings.RebootDelay = 2;
    download.SetPerso(Pattern(1000, 3));
    bool stopped = false;
    download.window.on_pump = [&](int) {
        if (!stopped && download.CountFrames(Frame::kRequest) > 0) {
            download.state.running = 0;
            stopped = true;
        }
        return false;
    };
    EXPECT_EQ(download.Run(), '3');
    EXPECT_EQ(download.frames.back().kind, Frame::kPersoSize);
    EXPECT_EQ(download.CountFrames(Frame::kPerso), 0);
}

TEST(VanishedLine, AFailedWriteEndsWith9InBothModes) {
    for (int acknowledge : {1, 0}) {
        for (int failing_write : {0, 1, 5, 20, 36}) {
            SCOPED_TRACE(failing_write);
            ScriptedDownload download;
            download.options.Acknowledge = acknowledge;
            download.SetCode(Pattern(6000, 2));
            download.SetPerso(Pattern(1000, 3));
            download.port.write_fails_at = failing_write;
            EXPECT_EQ(download.Run(), '9');
            EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
            ExpectEverythingReleased(download);
        }
    }
}

}  // namespace
}  // namespace dekvanto::engine
