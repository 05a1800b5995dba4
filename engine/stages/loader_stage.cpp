// From the opening of the port to the moment the uploaded loader answers: the memory target byte
// and the line setup frame at 2400 bit/s, the speed switch, the files read into memory, the
// loader in acknowledged 32-byte blocks.
#include <limits>

#include "line/line_trace.h"
#include "report/engine_texts.h"
#include "stages/download_job.h"

namespace dekvanto::engine {
namespace {

constexpr uint32_t kAfterTargetByteMs = 100;
constexpr uint32_t kAfterLineSetupMs = 100;
constexpr uint32_t kAfterSpeedSwitchMs = 5;
constexpr uint32_t kLoaderSyncMs = 5000;
constexpr uint32_t kBlindLoaderPauseMs = 50;
constexpr uint32_t kAckGroup = 5;

int32_t SendTargetByte(DownloadJob &job) {
    const uint8_t refused =
        MakeTargetByte(job.frame, job.frame_length, WaitStateValue(job.settings.RamWaitState),
                       BusSizeValue(job.settings.RamSize));
    if (refused != 0) {
        return EndDownload(job, refused);
    }
    if (!SendFrame(job)) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    if (const int32_t r = DrainLine(job)) {
        return r;
    }
    if (PauseInterrupted(job, kAfterTargetByteMs)) {
        return EndDownload(job, MX40_RESULT_STOPPED_WAITING);
    }
    return 0;
}

int32_t SendLineSetup(DownloadJob &job) {
    const uint8_t refused =
        MakeLineFrame(job.frame, job.frame_length, BitRateValue(job.settings.Speed),
                      ParityValue(job.settings.Parity), StopBitValue(job.settings.StopBit));
    if (refused != 0) {
        return EndDownload(job, refused);
    }
    if (!SendFrame(job)) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    if (job.Acknowledged()) {
        if (const int32_t r = ReadAcknowledgements(job, 1)) {
            return EndDownload(job, r);
        }
    }
    if (const int32_t r = DrainLine(job)) {
        return r;
    }
    if (PauseInterrupted(job, kAfterLineSetupMs)) {
        return EndDownload(job, MX40_RESULT_STOPPED_WAITING);
    }
    return 0;
}

int32_t SwitchSpeed(DownloadJob &job) {
    if (!job.line.SetSpeed(job.settings.Speed)) {
        return EndDownload(job,
                           job.line.WriteFailed() ? MX40_RESULT_PORT_ERROR : MX40_RESULT_BAD_SPEED);
    }
    job.report.LogNumber(kTextSetSpeed, static_cast<int32_t>(BitRateValue(job.settings.Speed)));
    if (PauseInterrupted(job, kAfterSpeedSwitchMs)) {
        return EndDownload(job, MX40_RESULT_STOPPED_WAITING);
    }
    return 0;
}

struct FileCodes {
    int32_t open;
    int32_t memory;
    int32_t read;
};

// Reads one file whole into memory; 0 or the download's result.
int32_t ReadImage(DownloadJob &job, const char *path, FileImage &image, FileCodes codes) {
    image.file = job.file_source.Open(path);
    if (!image.file) {
        return EndDownload(job, codes.open);
    }
    const uint64_t length = image.file->Length();
    if (length > std::numeric_limits<uint32_t>::max()) {
        return EndDownload(job, codes.memory);  // beyond what the size frame can announce
    }
    image.size = static_cast<uint32_t>(length);
    image.data = job.file_source.Allocate(length);
    if (!image.data) {
        return EndDownload(job, codes.memory);
    }
    if (image.file->Read(image.data.get(), length) != length) {
        image.Release();
        return EndDownload(job, codes.read);
    }
    return 0;
}

int32_t ReadFiles(DownloadJob &job) {
    if (const int32_t r = ReadImage(
            job, job.files.LoadFilePath, job.loader,
            {MX40_RESULT_LOADER_OPEN, MX40_RESULT_LOADER_MEMORY, MX40_RESULT_LOADER_READ})) {
        return r;
    }
    const FileCodes file_codes{MX40_RESULT_CODE_OPEN, MX40_RESULT_FILE_MEMORY,
                               MX40_RESULT_FILE_READ};
    if (job.files.AppFilePath != nullptr) {
        if (const int32_t r = ReadImage(job, job.files.AppFilePath, job.code, file_codes)) {
            return r;
        }
        job.code_sum = Sum16(job.code.data.get(), job.code.size);
    }
    if (job.files.PersoFilePath != nullptr) {
        if (const int32_t r = ReadImage(
                job, job.files.PersoFilePath, job.perso,
                {MX40_RESULT_PERSO_OPEN, MX40_RESULT_FILE_MEMORY, MX40_RESULT_FILE_READ})) {
            return r;
        }
    }
    job.report.StartProgress(uint64_t{job.loader.size} + job.code.size + job.perso.size);
    job.report.LogText(kTextDownloadFile, job.files.LoadFilePath);
    return 0;
}

int32_t UploadLoader(DownloadJob &job) {
    SetTracePhase(MX40_PHASE_LOADER);
    if (const int32_t r = SendImageBlocks(job, job.loader, kLoaderBlockMax, kAckGroup, true)) {
        return r;
    }
    if (!job.Running()) {
        return EndStopped(job, true);
    }
    MakeLoaderEnd(job.frame, job.frame_length);
    if (!SendFrame(job)) {
        return EndDownload(job, MX40_RESULT_PORT_ERROR);
    }
    job.loader.Release();
    return 0;
}

int32_t AwaitLoader(DownloadJob &job) {
    if (!job.Acknowledged()) {
        // The loader starts once it has the end frame: the pause counts from its last byte.
        if (const int32_t r = DrainLine(job)) {
            return r;
        }
        PauseInterrupted(job, kBlindLoaderPauseMs);  // a stop here is seen at the next test
        return 0;
    }
    if (!job.line.WaitSync(kLoaderSyncMs)) {
        job.com_error(kTextNoLoaderSync);
        return EndDownload(job, MX40_RESULT_NO_SYNC, false);
    }
    if ((job.file_flags & kCodeFileFlag) != 0) {
        job.report.Log(kTextStartFlashWriting);
    }
    return 0;
}

}  // namespace

int32_t RunLoaderStage(DownloadJob &job) {
    SetTracePhase(MX40_PHASE_LINE_SETUP);
    if (!job.line.Open(job.settings.Port)) {
        return MX40_RESULT_PORT_ERROR;
    }
    job.line.SetDtr();
    for (auto step :
         {SendTargetByte, SendLineSetup, SwitchSpeed, ReadFiles, UploadLoader, AwaitLoader}) {
        if (const int32_t r = step(job)) {
            return r;
        }
    }
    return 0;
}

}  // namespace dekvanto::engine
