#include "run/date_text.h"

#include "platform/date_time.h"

namespace tersify {

std::string LocalDateTimeText(std::chrono::system_clock::time_point when) {
  auto local = platform::ToLocalDateTime(std::chrono::system_clock::to_time_t(when));
  if (!local) return {};
  return platform::DateTimeText(*local, platform::SystemDateTimeFormat());
}

std::optional<std::chrono::sys_days> ReadShortDate(std::string_view text) {
  auto date = platform::ParseShortDate(text, platform::SystemDateTimeFormat());
  if (!date) return std::nullopt;
  std::chrono::year_month_day ymd{std::chrono::year(date->year), std::chrono::month(unsigned(date->month)),
                                  std::chrono::day(unsigned(date->day))};
  if (!ymd.ok()) return std::nullopt;
  return std::chrono::sys_days(ymd);
}

std::string_view DatePart(std::string_view dateTimeText) {
  size_t blank = dateTimeText.find(' ');
  return blank == std::string_view::npos ? dateTimeText : dateTimeText.substr(0, blank);
}

std::string ElapsedClockText(std::chrono::milliseconds elapsed) {
  long long seconds = elapsed.count() < 0 ? 0 : elapsed.count() / 1000;
  return platform::ElapsedText(seconds, platform::SystemDateTimeFormat());
}

}  // namespace tersify
