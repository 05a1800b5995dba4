// The times of a unit record: UTC, ISO 8601 with milliseconds ("2024-05-17T08:30:15.250Z").
// Every record line spells its times in this one form, so that they sort and compare as text.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

// "YYYY-MM-DDTHH:MM:SS.mmmZ" of the moment, cut down to the millisecond.
std::string UtcTimestamp(std::chrono::system_clock::time_point when);

// A date or a time given by the user, in UTC, as the timestamp of its first millisecond:
// "2024-05-17", "2024-05-17T08:30", "2024-05-17 08:30:15", "2024-05-17T08:30:15.250Z" (seconds,
// milliseconds and the "Z" may be left out; a space may stand for the "T"). Nothing for any
// other text, or for a day or time that does not exist.
std::optional<std::string> TimestampOfDate(std::string_view text);

}  // namespace dekvanto::core
