// The fault matrix: the real engine library against the simulated phone, with the phone getting
// an answer wrong, the user stopping, or the line vanishing at every phase of a download, in
// acknowledged and in blind mode. Each case must end with its result, log and box, leave the port
// free for the next download at once, and leave no descriptor or memory behind.
#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <cstdlib>

#include "download_session.h"
#include "fault_matrix_table.h"

namespace dekvanto::integration {
namespace {

using Lines = std::vector<std::string>;

// Bytes in use on the heap of the calling thread's arena (the engine runs on this thread). The
// thread's cache of freed small blocks counts as in use; it is filled up first, so that the
// figure does not depend on how full the download happened to leave it.
size_t HeapInUse() {
    constexpr size_t kCachedSizes = 1040;
    constexpr int kCachedPerSize = 8;
    std::vector<void *> blocks;
    blocks.reserve(kCachedSizes / 8 * kCachedPerSize);
    for (size_t size = 8; size <= kCachedSizes; size += 8) {
        for (int i = 0; i < kCachedPerSize; ++i) {
            blocks.push_back(std::malloc(size));
        }
    }
    for (void *block : blocks) {
        std::free(block);
    }
    blocks = {};
    return mallinfo2().uordblks;
}

// Carries out the case's stop or unplug when its moment comes.
struct Trigger {
    const FaultCase *fault = nullptr;
    dekvanto::sim::PhoneSimulator *phone = nullptr;
    int counts[2][8] = {};
    bool fired = false;

    void Fire() {
        fired = true;
        if (fault->action == Action::kStop) {
            Mxl40_StartStop(0);
        } else {
            // The phone goes away with its end of the line: the engine's side hangs up before
            // the engine takes its next step.
            phone->Stop();
            phone->Wait(std::chrono::seconds(30));
        }
    }

    void OnBytes(int32_t direction, int32_t phase) {
        const Moment &at = fault->moment;
        if (fired || at.after_log != nullptr || direction < 0 || direction > 1 || phase < 0 ||
            phase > 7) {
            return;
        }
        if (++counts[direction][phase] == at.nth && direction == at.direction &&
            phase == at.phase) {
            Fire();
        }
    }

    void OnPump(const TestWindow &window) {
        const char *line = fault->moment.after_log;
        if (!fired && line != nullptr && !window.log_lines.empty() &&
            window.log_lines.back().starts_with(line)) {
            Fire();
        }
    }
};

void MX40_CALL OnTrace(void *context, int32_t direction, int32_t phase, const uint8_t *, uint32_t) {
    static_cast<Trigger *>(context)->OnBytes(direction, phase);
}

}  // namespace

void PrintTo(const FaultCase &c, std::ostream *out) {
    *out << c.name;
}

namespace {

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
  protected:
    // A short whole download (loader only) into a fresh phone on COM<port> (0: any free port).
    // Returns the port it used, or 0 when the download did not succeed.
    int TinyDownload(int port) {
        dekvanto::sim::PhoneConfig config;
        config.port = port;
        int32_t result = 0;
        int used = 0;
        const dekvanto::testing::PhoneRun run =
            dekvanto::testing::WithPhone(config, [&](dekvanto::sim::PhoneSimulator &phone) {
                used = phone.PortNumber();
                DownloadRecords records;
                records.settings.Port = used - 1;
                records.UseFiles(tiny);
                TestWindow window;
                result = Mxl40_Download(&window.record, &records.settings, &records.files,
                                        &records.options);
            });
        EXPECT_EQ(run.setup_error, "");
        EXPECT_EQ(result, '2') << "a download on COM" << used;
        EXPECT_TRUE(run.summary.consistent) << ::testing::PrintToString(run.summary.errors);
        return result == '2' ? used : 0;
    }

    // The log of the download cut after `mark`, then the close line unless no '8' came.
    Lines ExpectedLog(const FaultCase &c, int port) const {
        const std::string com = "COM" + std::to_string(port);
        const bool ack = c.mode == Mode::kAcknowledged;
        const std::pair<Mark, std::string> all[] = {
            {Mark::kOpen, "Open " + com},
            {Mark::kSetSpeed, "Set Speed (115200)"},
            {Mark::kLoader, "Download " + rig.files.loader.string()},
            {Mark::kStartFlash, ack ? " -> Starting Flash writing" : ""},
            {Mark::kCode, "Download " + rig.files.code.string()},
            {Mark::kStartErasing, ack ? " -> Start End of Flash erasing" : ""},
            {Mark::kEndErased, ack ? " -> End of flash Erased" : ""},
            {Mark::kWaitingReboot, ack ? "" : "Waiting DEKE Reboot (0 secondes)"},
            {Mark::kPerso, "Download " + rig.files.perso.string()},
        };
        Lines lines;
        for (const auto &[mark, line] : all) {
            if (!line.empty()) {
                lines.push_back(line);
            }
            if (mark == c.outcome.mark) {
                break;
            }
        }
        if (c.outcome.result != 'E') {
            lines.push_back("Close " + com);
        }
        return lines;
    }

    // The case's download, checked; returns the port it used.
    int FaultedDownload(const FaultCase &c) {
        dekvanto::sim::PhoneConfig config;
        config.acknowledged = c.mode == Mode::kAcknowledged;
        // The engine's own waits end every session here: the phone never gives up first.
        config.idle_timeout_ms = 600000;
        config.linger_ms = 600000;
        if (c.erase_start_ms != 0) {
            config.delays.erase_start_ms = c.erase_start_ms;
        }
        if (c.perso_done_ms != 0) {
            config.delays.perso_done_ms = c.perso_done_ms;
        }
        for (const std::string &text : c.faults) {
            std::string error;
            const auto fault = dekvanto::sim::ParseFault(text, error);
            EXPECT_TRUE(fault) << text << ": " << error;
            if (fault) {
                config.faults.push_back(*fault);
            }
        }
        Trigger trigger{&c};
        TestWindow window;
        window.on_pump = [&trigger](TestWindow &w) {
            trigger.OnPump(w);
            return 0;
        };
        int port = 0;
        int32_t result = 0;
        const dekvanto::testing::PhoneRun run =
            dekvanto::testing::WithPhone(config, [&](dekvanto::sim::PhoneSimulator &phone) {
                port = phone.PortNumber();
                trigger.phone = &phone;
                if (c.action != Action::kPhoneFault) {
                    Mxl40_SetTrace(OnTrace, &trigger);
                }
                DownloadRecords records;
                records.settings.Port = port - 1;
                records.UseFiles(rig.files);
                records.options.Acknowledge = config.acknowledged ? 1 : 0;
                result = Mxl40_Download(&window.record, &records.settings, &records.files,
                                        &records.options);
                Mxl40_SetTrace(nullptr, nullptr);
            });
        if (!run.setup_error.empty()) {
            ADD_FAILURE() << run.setup_error;
            return 0;
        }
        const dekvanto::sim::Summary &summary = run.summary;

        EXPECT_EQ(char(result), char(c.outcome.result));
        if (c.action != Action::kPhoneFault) {
            EXPECT_TRUE(trigger.fired) << "the moment never came";
        }
        EXPECT_EQ(window.log_lines.empty() ? "" : window.log_lines.front().substr(0, 16),
                  "Starting Time : ");
        EXPECT_EQ(window.log_lines.empty()
                      ? Lines{}
                      : Lines(window.log_lines.begin() + 1, window.log_lines.end()),
                  ExpectedLog(c, port));
        if (c.action == Action::kUnplug) {
            // Closing a vanished port reports its own failures after the case's box.
            if (!c.box.empty()) {
                EXPECT_EQ(window.boxes.empty() ? "" : window.boxes.front(), c.box);
            }
        } else {
            EXPECT_EQ(window.boxes, c.box.empty() ? Lines{} : Lines{c.box});
            // The phone saw the engine let go of the line, while it still waited for it or
            // after its last answer.
            EXPECT_TRUE(summary.end == dekvanto::sim::EndReason::kReleased ||
                        summary.end == dekvanto::sim::EndReason::kFinished)
                << dekvanto::sim::EndReasonName(summary.end) << ", waiting for "
                << summary.waiting_for;
        }
        return port;
    }

    dekvanto::testing::DownloadRig rig{{kMatrixLoaderSize, kMatrixCodeSize, kMatrixPersoSize}};
    const dekvanto::testing::SampleFiles tiny = rig.WriteSamples("tiny", {40, 0, 0});
};

TEST_P(FaultMatrix, EndsWithItsResultAndLeavesThePortFree) {
    const FaultCase &c = GetParam();
    // One download first, so that what the engine sets up once per process is not counted.
    ASSERT_NE(TinyDownload(0), 0);
    const int descriptors = OpenDescriptors();
    const size_t heap = HeapInUse();

    const int port = FaultedDownload(c);
    ASSERT_NE(port, 0);

    EXPECT_EQ(OpenDescriptors(), descriptors);
    // The phone's threads leave a few bytes of bookkeeping now and then; the smallest block a
    // download holds (the loader's image) is larger than this.
    EXPECT_LE(HeapInUse(), heap + 256);
    // The port was let go: the next download on the same port goes through at once.
    EXPECT_EQ(TinyDownload(port), port);
}

INSTANTIATE_TEST_SUITE_P(Download, FaultMatrix, ::testing::ValuesIn(AllFaultCases()),
                         [](const auto &info) { return info.param.name; });

}  // namespace
}  // namespace dekvanto::integration
