#include "panel/date_text.h"

#include <cstdio>
#include <ctime>

namespace tersify {

namespace {

bool ToLocal(std::time_t t, std::tm& out) {
#ifdef _WIN32
  return localtime_s(&out, &t) == 0;
#else
  return localtime_r(&t, &out) != nullptr;
#endif
}

std::string LongTime(int h, int m, int s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", h, m, s);
  return buf;
}

}  // namespace

std::string LocalDateTimeText(std::chrono::system_clock::time_point when) {
  std::tm tm{};
  if (!ToLocal(std::chrono::system_clock::to_time_t(when), tm)) return {};
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  std::string out = date;
  if (tm.tm_hour != 0 || tm.tm_min != 0 || tm.tm_sec != 0) out += " " + LongTime(tm.tm_hour, tm.tm_min, tm.tm_sec);
  return out;
}

std::optional<std::chrono::sys_days> ReadShortDate(std::string_view text) {
  // yyyy-mm-dd
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const size_t starts[3] = {0, 5, 8};
  const size_t lens[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i)
    for (size_t k = 0; k < lens[i]; ++k) {
      char c = text[starts[i] + k];
      if (c < '0' || c > '9') return std::nullopt;
      parts[i] = parts[i] * 10 + (c - '0');
    }
  std::chrono::year_month_day ymd{std::chrono::year(parts[0]), std::chrono::month(unsigned(parts[1])),
                                  std::chrono::day(unsigned(parts[2]))};
  if (!ymd.ok()) return std::nullopt;
  return std::chrono::sys_days(ymd);
}

std::string_view DatePart(std::string_view dateTimeText) {
  size_t blank = dateTimeText.find(' ');
  return blank == std::string_view::npos ? dateTimeText : dateTimeText.substr(0, blank);
}

std::string ElapsedClockText(std::chrono::milliseconds elapsed) {
  long long total = elapsed.count() < 0 ? 0 : elapsed.count() / 1000;
  int s = int(total % 60), m = int(total / 60 % 60), h = int(total / 3600 % 24);
  return LongTime(h, m, s);
}

}  // namespace tersify
