#include "stages/download_job.h"

#include <algorithm>

#include "line/wait_pump.h"
#include "report/engine_texts.h"

namespace dekvanto::engine {

DownloadJob::DownloadJob(const DownloadServices &services, Mx40Settings &settings_record,
                         const Mx40Files &file_record, const Mx40Options &option_record)
    : settings(settings_record),
      files(file_record),
      options(option_record),
      flags(services.flags),
      window(services.window),
      clock(services.clock),
      file_source(services.files),
      com_error(services.window, services.flags.debug_messages),
      line(services.port, services.clock, com_error),
      report(services.window, services.clock) {}

int32_t EndDownload(DownloadJob &job, int32_t result, bool log_close) {
    job.line.Close();
    if (log_close) {
        job.report.LogNumber(kTextClosePort, job.settings.Port);
    }
    return result;
}

int32_t EndStopped(DownloadJob &job, bool report_bytes) {
    job.line.Close();
    if (report_bytes) {
        job.report.SendByteCount();
    }
    job.report.LogNumber(kTextClosePort, job.settings.Port);
    return MX40_RESULT_STOPPED;
}

bool SendFrame(DownloadJob &job) {
    uint32_t written = 0;
    return job.line.Write(job.frame, job.frame_length, written);
}

int32_t DrainLine(DownloadJob &job) {
    return job.line.Drain() ? 0 : EndDownload(job, MX40_RESULT_PORT_ERROR);
}

int32_t ReadAcknowledgements(DownloadJob &job, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t answer = 0;
        const int r = job.line.ReadAck(&answer);
        if (r != kAcknowledged) {
            return 'F' + r;
        }
    }
    return 0;
}

bool PauseInterrupted(DownloadJob &job, uint32_t ms) {
    return WaitPump(ms, job.window, job.clock, job.flags.running) == 1;
}

int32_t SendImageBlocks(DownloadJob &job, const FileImage &image, uint32_t block_max,
                        uint32_t group, bool stop_reports_bytes) {
    uint32_t pending = 0;
    uint32_t group_limit = group;
    for (uint32_t offset = 0; offset < image.size;) {
        if (!job.Running()) {
            return EndStopped(job, stop_reports_bytes);
        }
        const uint32_t rest = image.size - offset;
        const uint32_t n = std::min(rest, block_max);
        if (rest <= block_max) {
            group_limit = pending + 1;  // the last block closes the last group
        }
        if (block_max == kLoaderBlockMax) {
            MakeLoaderBlock(job.frame, job.frame_length, image.data.get() + offset, n);
        } else {
            MakeDataBlock(job.frame, job.frame_length, image.data.get() + offset, n);
        }
        if (!SendFrame(job)) {
            return EndDownload(job, MX40_RESULT_PORT_ERROR);
        }
        ++pending;
        offset += n;
        if (job.Acknowledged() && pending == group_limit) {
            if (const int32_t r = ReadAcknowledgements(job, pending)) {
                return EndDownload(job, r);
            }
            pending = 0;
        }
        job.report.BlockSent(n);
    }
    return 0;
}

}  // namespace dekvanto::engine
