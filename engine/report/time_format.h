// Time texts of the download log: the time of day ("%X") and durations ("%D %H %M %S").
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace dekvanto::engine {

// Replaces every "%X" in format by the local time of day of t as HH:MM:SS; "%%" gives one
// percent sign, any other character after a percent sign stands for itself.
std::string FormatTimeOfDay(const char *format, std::time_t t);

// Fills a duration of seconds into format: "%D" whole days (plain number), "%H" hours within the
// day, "%M" minutes within the hour, "%S" seconds within the minute (two digits each); any other
// character after a percent sign stands for itself. Negative durations count as 0.
std::string FormatDuration(const char *format, int64_t seconds);

}  // namespace dekvanto::engine
