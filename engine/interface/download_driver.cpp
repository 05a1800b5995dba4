#include "interface/download_driver.h"

#include "report/engine_texts.h"

namespace dekvanto::engine {
namespace {

int32_t FinishDownload(DownloadJob &job) {
    job.loader.Release();
    job.code.Release();
    job.perso.Release();
    job.line.Close();
    job.report.SendByteCount();
    job.report.LogNumber(kTextClosePort, job.settings.Port);
    job.report.LogFinish();
    return MX40_RESULT_DONE;
}

}  // namespace

int32_t RunDownload(const DownloadServices &services, Mx40Settings *settings,
                    const Mx40Files *files, const Mx40Options *options) {
    if (settings == nullptr) {
        return MX40_RESULT_NO_SETTINGS;
    }
    // Wraps at the top of the range instead of overflowing; such a port never opens anyway.
    settings->Port = static_cast<int32_t>(static_cast<uint32_t>(settings->Port) + 1u);
    // One download at a time per process: a second one (from another thread, or from a handler
    // that runs inside the first one's event dispatch) opens nothing and leaves the first one's
    // flags alone.
    if (services.flags.downloading.exchange(true)) {
        return MX40_RESULT_PORT_ERROR;
    }
    struct InProgress {
        std::atomic<bool> &downloading;
        ~InProgress() { downloading = false; }
    } in_progress{services.flags.downloading};
    if (options != nullptr) {
        services.flags.debug_messages = options->DebugMessages;
    }
    services.flags.running = 1;
    if (files == nullptr || options == nullptr) {
        return MX40_RESULT_NO_FILES;
    }

    DownloadJob job(services, *settings, *files, *options);
    job.report.LogStart();
    job.file_flags = (files->AppFilePath != nullptr ? kCodeFileFlag : 0) |
                     (files->PersoFilePath != nullptr ? kPersoFileFlag : 0);
    job.report.LogNumber(kTextOpenPort, settings->Port);

    if (const int32_t r = RunLoaderStage(job)) {
        return r;
    }
    if (const int32_t r = RunFlashStage(job)) {
        return r;
    }
    return FinishDownload(job);
}

}  // namespace dekvanto::engine
