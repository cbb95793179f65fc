// Date and time texts of files and of the run clock. These are the only places
// that know the short date and long time formats.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tersify {

// Local date in the short date format, a blank and the long time; the blank and
// the time are left out when the time is exactly midnight.
std::string LocalDateTimeText(std::chrono::system_clock::time_point when);

// Reads a date written in the short date format (time parts are not accepted).
std::optional<std::chrono::sys_days> ReadShortDate(std::string_view text);

// The date part of a date-time text: up to its first blank, or the whole text.
std::string_view DatePart(std::string_view dateTimeText);

// A duration shown in the long time format as if it were a time of day.
std::string ElapsedClockText(std::chrono::milliseconds elapsed);

}  // namespace tersify
