#include "report/download_report.h"

#include <cstdio>
#include <string>

#include "report/engine_texts.h"
#include "report/time_format.h"

namespace dekvanto::engine {

void DownloadReport::SendLine(const char *text) {
    if (window_.Present()) {
        window_.Send(MX40_WM_LOG_LINE, reinterpret_cast<uintptr_t>(text), 0);
    }
}

void DownloadReport::Log(int text_id) {
    SendLine(EngineText(text_id));
}

void DownloadReport::LogNumber(int text_id, int32_t value) {
    if (!window_.Present()) {
        return;
    }
    char line[128];
    std::snprintf(line, sizeof line, EngineText(text_id), static_cast<int>(value));
    SendLine(line);
}

void DownloadReport::LogText(int text_id, const char *value) {
    if (!window_.Present()) {
        return;
    }
    std::string line = EngineText(text_id);
    const auto at = line.find("%s");
    if (at != std::string::npos) {
        line.replace(at, 2, value != nullptr ? value : "");
    }
    SendLine(line.c_str());
}

void DownloadReport::LogStart() {
    start_ = clock_.Now();
    if (window_.Present()) {
        SendLine(FormatTimeOfDay(EngineText(kTextStartingTime), start_).c_str());
    }
}

void DownloadReport::LogFinish() {
    const std::time_t finish = clock_.Now();
    if (window_.Present()) {
        const std::string line =
            FormatTimeOfDay(EngineText(kTextFinishTime), finish) +
            FormatDuration(EngineText(kTextTotalTime), static_cast<int64_t>(finish - start_));
        SendLine(line.c_str());
    }
}

void DownloadReport::StartProgress(uint64_t total) {
    bytes_sent_ = 0;
    step_accumulator_ = 0;
    const uint64_t step = total / 100;
    step_size_ = step == 0 ? 1 : static_cast<uint32_t>(step > UINT32_MAX ? UINT32_MAX : step);
}

void DownloadReport::SendByteCount() {
    if (window_.Present()) {
        window_.Send(MX40_WM_BYTE_COUNT, bytes_sent_, 0);
    }
}

void DownloadReport::BlockSent(uint32_t n) {
    bytes_sent_ += n;
    step_accumulator_ += n;
    if (step_accumulator_ < step_size_) {
        return;
    }
    window_.Pump();  // a quit request taken here is not looked at, as in any dispatch of events
    SendByteCount();
    while (step_accumulator_ >= step_size_) {
        if (window_.Present()) {
            window_.Send(MX40_WM_PROGRESS_STEP, 0, 0);
        }
        step_accumulator_ -= step_size_;
    }
}

}  // namespace dekvanto::engine
