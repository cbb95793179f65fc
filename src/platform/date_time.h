// Local dates and times in the system's short date and long time formats.
//
// Formats are pictures in the manner of the system settings: "d" day, "dd"
// day with two digits, "M"/"MM" month, "yy" year with two digits, "yyyy" with
// four; "H"/"HH" hour of 24, "h"/"hh" hour of 12, "m"/"mm" minute, "s"/"ss"
// second, "t"/"tt" the AM or PM text; text in single quotes and every other
// character stand for themselves. Texts are UTF-8.
#pragma once

#include <compare>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tersify::platform {

struct LocalDateTime {
  int year = 1970, month = 1, day = 1;  // month and day count from 1
  int hour = 0, minute = 0, second = 0;
};

struct CalendarDate {
  int year = 0, month = 0, day = 0;
  auto operator<=>(const CalendarDate&) const = default;
};

struct DateTimeFormat {
  std::string shortDate = "MM/dd/yyyy";
  std::string longTime = "HH:mm:ss";
  std::string am = "AM";
  std::string pm = "PM";
};

// The formats of the user's locale. A short date that holds a blank, lacks
// one of day, month and year, or uses what the pictures cannot show (month
// names) is replaced by "yyyy-MM-dd", since texts are cut at their first
// blank to read the date back; an unusable time picture becomes "HH:mm:ss".
DateTimeFormat SystemDateTimeFormat();

// The picture of an strftime format ("%d.%m.%Y" gives "dd.MM.yyyy"), or empty
// when the format uses a conversion that pictures lack.
std::string PictureFromStrftime(std::string_view format);

// Whether a short date picture can be shown and read back as one word.
bool IsUsableShortDate(std::string_view picture);

std::optional<LocalDateTime> ToLocalDateTime(std::time_t time);
// The last-write time of a file in local time; nullopt when it cannot be read.
std::optional<LocalDateTime> LastWriteLocal(const std::string& path);

std::string FormatDate(const LocalDateTime& value, const DateTimeFormat& format);
std::string FormatTime(const LocalDateTime& value, const DateTimeFormat& format);
// Short date, a blank and long time; at exactly midnight the date alone.
std::string DateTimeText(const LocalDateTime& value, const DateTimeFormat& format);
// A count of seconds shown with the long time format as a time of day
// (seven seconds give "0:00:07" under "H:mm:ss"). Days are dropped.
std::string ElapsedText(long long seconds, const DateTimeFormat& format);

// Reads a date written in the short date format. Two-digit years mean 1930
// to 2029. nullopt for text that does not fit the picture or no real date.
std::optional<CalendarDate> ParseShortDate(std::string_view text, const DateTimeFormat& format);

}  // namespace tersify::platform
