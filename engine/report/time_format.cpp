#include "report/time_format.h"

#include <cstdio>

namespace dekvanto::engine {
namespace {

std::tm LocalTime(std::time_t t) {
    std::tm fields{};
#if defined(_WIN32)
    localtime_s(&fields, &t);
#else
    localtime_r(&t, &fields);
#endif
    return fields;
}

std::string TwoDigits(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(value));
    return text;
}

}  // namespace

std::string FormatTimeOfDay(const char *format, std::time_t t) {
    const std::tm fields = LocalTime(t);
    std::string out;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == 'X') {
            out += TwoDigits(fields.tm_hour) + ":" + TwoDigits(fields.tm_min) + ":" +
                   TwoDigits(fields.tm_sec);
        } else {
            out += *p;
        }
    }
    return out;
}

std::string FormatDuration(const char *format, int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    std::string out;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
            case 'D':
                out += std::to_string(seconds / 86400);
                break;
            case 'H':
                out += TwoDigits(seconds / 3600 % 24);
                break;
            case 'M':
                out += TwoDigits(seconds / 60 % 60);
                break;
            case 'S':
                out += TwoDigits(seconds % 60);
                break;
            default:
                out += *p;
                break;
        }
    }
    return out;
}

}  // namespace dekvanto::engine
