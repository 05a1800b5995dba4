// The files into the phone's flash: the download request byte, the code file with its size,
// blocks, checksum and erase waits, then the personalization file to the resident boot loader
// DEKE after the phone's restart.
#include <algorithm>

#include "line/line_trace.h"
#include "line/wait_pump.h"
#include "report/engine_texts.h"
#include "stages/download_job.h"

namespace dekvanto::engine {
namespace {

constexpr uint32_t kBeforeRequestMs = 5;
constexpr uint32_t kCodeAckGroup = 5;
constexpr uint32_t kPersoAckGroup = 1;
constexpr uint32_t kEraseStartSyncMs = 20000;
constexpr uint32_t kEraseEndSyncMs = 60000;
constexpr uint32_t kRestartSyncMs = 60000;
constexpr uint32_t kPersoEndSyncMs = 10000;
constexpr int32_t kPersoSpeedIndex = 1;  // 115200 bit/s, whatever the download speed

// Ends the download when no '8' came, without the "Close COM<n>" line.
int32_t EndWithoutSync(DownloadJob &job, int text_id) {
    job.com_error(text_id);
    return EndDownload(job, MX40_RESULT_NO_SYNC, false);
}

// Sends the frame in job.frame and, in acknowledged mode, reads its acknowledgement.
int32_t SendAcknowledgedFrame(DownloadJob &job) {
    if (!SendFrame(job)) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    if (job.Acknowledged()) {
        if (const int32_t r = ReadAcknowledgements(job, 1)) {
            return EndDownload(job, r);
        }
    }
    return 0;
}

int32_t SendRequestByte(DownloadJob &job) {
    SetTracePhase(MX40_PHASE_REQUEST);
    if (job.StepMode()) {
        if ((job.file_flags & kCodeFileFlag) != 0) {
            job.window.Prompt(EngineText(kTextPromptCodeFile));
        }
    } else {
        if (const int32_t r = DrainLine(job)) {
            return r;
        }
        if (PauseInterrupted(job, kBeforeRequestMs)) {
            return EndDownload(job, MX40_RESULT_STOPPED_WAITING);
        }
    }
    job.report.SendByteCount();
    MakeStartByte(job.frame, job.frame_length, job.file_flags);
    if (!SendFrame(job)) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    return 0;
}

int32_t SendCodeFile(DownloadJob &job) {
    SetTracePhase(MX40_PHASE_CODE);
    MakeSizeFrame(job.frame, job.frame_length, job.code.size);
    const int8_t answer = job.line.SendAck(job.frame, job.frame_length, job.options.Acknowledge);
    if (job.line.WriteFailed()) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    if (answer == -1) {
        return EndDownload(job, MX40_RESULT_NO_ACK);
    }
    job.report.LogText(kTextDownloadFile, job.files.AppFilePath);
    if (const int32_t r = SendImageBlocks(job, job.code, kDataBlockMax, kCodeAckGroup, false)) {
        return r;
    }
    if (!job.Running()) {
        return EndStopped(job);
    }
    MakeSumFrame(job.frame, job.frame_length, job.code_sum);
    if (const int32_t r = SendAcknowledgedFrame(job)) {
        return r;
    }
    if (!job.Running()) {
        return EndStopped(job);
    }
    SetTracePhase(MX40_PHASE_ERASE);
    if (job.Acknowledged()) {
        if (!job.line.WaitSync(kEraseStartSyncMs)) {
            return EndWithoutSync(job, kTextNoLoaderSync);
        }
        job.report.Log(kTextStartErasing);
    }
    if (!job.Running()) {
        return EndStopped(job);
    }
    if (job.Acknowledged()) {
        if (!job.line.WaitSync(kEraseEndSyncMs)) {
            return EndWithoutSync(job, kTextNoLoaderSync);
        }
        job.report.Log(kTextEndErasing);
    }
    return 0;
}

// The milliseconds the step-mode prompt before the personalization file was open (0 without it).
uint32_t PromptForPersoFile(DownloadJob &job) {
    if (!job.StepMode()) {
        return 0;
    }
    const uint32_t opened = job.clock.TickMs();
    if (job.flags.debug_messages == 1) {
        job.window.Prompt(EngineText(kTextPromptPersoFile));
    }
    return job.clock.TickMs() - opened;
}

int32_t AwaitRestart(DownloadJob &job, uint32_t prompt_ms) {
    SetTracePhase(MX40_PHASE_RESTART);
    if (job.Acknowledged()) {
        uint32_t wait = kRestartSyncMs - prompt_ms;
        if (wait >= kRestartSyncMs) {
            wait = kRestartSyncMs;
        }
        if (!job.line.WaitSync(wait)) {
            return EndWithoutSync(job, kTextNoDekeSync);
        }
    }
    if (job.options.Acknowledge == 0 && job.options.Pause == 0) {
        const int32_t seconds = job.settings.RebootDelay;
        job.report.LogNumber(kTextWaitingReboot, seconds);
        // The phone restarts once it has the whole code file: the wait counts from its last byte.
        if (const int32_t r = DrainLine(job)) {
            return r;
        }
        // A negative delay waits nothing; a huge one is kept within the tick counter's range.
        const uint64_t ms =
            std::min<uint64_t>(seconds > 0 ? uint64_t(seconds) * 1000 : 0, UINT32_MAX - 1);
        PauseInterrupted(job, static_cast<uint32_t>(ms));  // a stop is seen at the first block
    }
    return 0;
}

int32_t SendPersoFile(DownloadJob &job) {
    if (const int32_t r = AwaitRestart(job, PromptForPersoFile(job))) {
        return r;
    }
    SetTracePhase(MX40_PHASE_PERSO);
    job.line.SetSpeed(kPersoSpeedIndex);  // a refusal was shown; the file goes at the old speed
    if (job.line.WriteFailed()) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);  // the drain before the switch failed
    }
    MakeSizeFrame(job.frame, job.frame_length, job.perso.size);
    if (const int32_t r = SendAcknowledgedFrame(job)) {
        return r;
    }
    job.report.LogText(kTextDownloadFile, job.files.PersoFilePath);
    if (const int32_t r = SendImageBlocks(job, job.perso, kDataBlockMax, kPersoAckGroup, false)) {
        return r;
    }
    if (!job.Running()) {
        return EndStopped(job);
    }
    if (job.Acknowledged() && !job.line.WaitSync(kPersoEndSyncMs)) {
        return EndWithoutSync(job, kTextNoDekeSync);
    }
    if (!job.Running()) {
        return EndStopped(job);
    }
    return 0;
}

}  // namespace

int32_t RunFlashStage(DownloadJob &job) {
    if (const int32_t r = SendRequestByte(job)) {
        return r;
    }
    if ((job.file_flags & kCodeFileFlag) != 0) {
        if (const int32_t r = SendCodeFile(job)) {
            return r;
        }
    }
    if ((job.file_flags & kPersoFileFlag) != 0) {
        if (const int32_t r = SendPersoFile(job)) {
            return r;
        }
    }
    // Success only once the last frame has left the line (in blind mode nothing else says so).
    return DrainLine(job);
}

}  // namespace dekvanto::engine
