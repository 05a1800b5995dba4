#include "progress_meter.h"

#include <cmath>
#include <cstdio>

namespace dekvanto::cli {

void ProgressMeter::OnBytes(uint64_t bytes, double seconds) {
    bytes_ = bytes;
    seconds_ = seconds;
}

int ProgressMeter::Percent() const {
    if (total_ == 0 || bytes_ >= total_) {
        return 100;
    }
    return static_cast<int>(bytes_ * 100 / total_);
}

double ProgressMeter::RateKbits() const {
    if (bytes_ == 0 || seconds_ <= 0) {
        return 0;
    }
    return static_cast<double>(bytes_) * 8 / seconds_ / 1000;
}

double ProgressMeter::SecondsLeft() const {
    const double rate = RateKbits();
    if (rate <= 0) {
        return -1;
    }
    const uint64_t left = bytes_ >= total_ ? 0 : total_ - bytes_;
    return static_cast<double>(left) * 8 / (rate * 1000);
}

std::string DurationText(double seconds) {
    if (seconds < 0 || !std::isfinite(seconds)) {
        return "--:--";
    }
    const long whole = std::lround(seconds);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

std::string ProgressMeter::BarText() const {
    constexpr int kWidth = 30;
    const int filled = Percent() * kWidth / 100;
    char text[200];
    std::snprintf(text, sizeof text, "[%s%s] %3d%%  %llu/%llu bytes  %.1f kbit/s  %s left",
                  std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(),
                  Percent(), static_cast<unsigned long long>(bytes_),
                  static_cast<unsigned long long>(total_), RateKbits(),
                  DurationText(SecondsLeft()).c_str());
    return text;
}

std::string ProgressMeter::PlainText() const {
    char text[160];
    std::snprintf(text, sizeof text, "progress %3d%%  %llu bytes  %.1f kbit/s  %s left", Percent(),
                  static_cast<unsigned long long>(bytes_), RateKbits(),
                  DurationText(SecondsLeft()).c_str());
    return text;
}

bool ProgressMeter::TenthPassed() {
    const int tenth = Percent() / 10;
    if (tenth > last_tenth_) {
        last_tenth_ = tenth;
        return true;
    }
    return false;
}

}  // namespace dekvanto::cli
