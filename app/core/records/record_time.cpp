#include "core/records/record_time.h"

#include <cstdio>

namespace dekvanto::core {
namespace {

std::string Format(int year, unsigned month, unsigned day, long hours, long minutes, long seconds,
                   long milliseconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%03ldZ", year, month, day,
                  hours, minutes, seconds, milliseconds);
    return text;
}

// Reads exactly `count` digits at the front of text into value and drops them.
bool TakeDigits(std::string_view &text, std::size_t count, long &value) {
    if (text.size() < count) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool TakeChar(std::string_view &text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

// Milliseconds from one to three digits after the point ("5" is 500 ms).
bool TakeFraction(std::string_view &text, long &milliseconds) {
    std::size_t digits = 0;
    milliseconds = 0;
    while (digits < text.size() && digits < 3 && text[digits] >= '0' && text[digits] <= '9') {
        milliseconds = milliseconds * 10 + (text[digits] - '0');
        ++digits;
    }
    for (std::size_t scale = digits; scale < 3; ++scale) {
        milliseconds *= 10;
    }
    text.remove_prefix(digits);
    return digits > 0;
}

}  // namespace

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto moment = floor<milliseconds>(when);
    const auto day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss time{moment - day};
    return Format(static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), time.hours().count(), time.minutes().count(),
                  static_cast<long>(time.seconds().count()),
                  static_cast<long>(time.subseconds().count()));
}

std::optional<std::string> TimestampOfDate(std::string_view text) {
    long year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    if (!TakeDigits(text, 4, year) || !TakeChar(text, '-') || !TakeDigits(text, 2, month) ||
        !TakeChar(text, '-') || !TakeDigits(text, 2, day)) {
        return std::nullopt;
    }
    if (TakeChar(text, 'T') || TakeChar(text, ' ')) {
        if (!TakeDigits(text, 2, hours) || !TakeChar(text, ':') || !TakeDigits(text, 2, minutes)) {
            return std::nullopt;
        }
        if (TakeChar(text, ':')) {
            if (!TakeDigits(text, 2, seconds) ||
                (TakeChar(text, '.') && !TakeFraction(text, milliseconds))) {
                return std::nullopt;
            }
        }
        TakeChar(text, 'Z');
    }
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(year)),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!text.empty() || !date.ok() || hours > 23 || minutes > 59 || seconds > 59) {
        return std::nullopt;
    }
    return Format(static_cast<int>(year), static_cast<unsigned>(month), static_cast<unsigned>(day),
                  hours, minutes, seconds, milliseconds);
}

}  // namespace dekvanto::core
