#include "platform/date_time.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace tersify::platform {
namespace {

constexpr std::string_view kFallbackDate = "yyyy-MM-dd";
constexpr std::string_view kFallbackTime = "HH:mm:ss";

struct Token {
  char field = 0;    // 'd', 'M', 'y', 'H', 'h', 'm', 's', 't'; 0 for literal text
  int width = 0;     // letters in a row
  std::string text;  // literal text
};

bool IsFieldLetter(char c) {
  return c == 'd' || c == 'M' || c == 'y' || c == 'H' || c == 'h' || c == 'm' || c == 's' || c == 't';
}

std::vector<Token> Tokenize(std::string_view picture) {
  std::vector<Token> tokens;
  auto literal = [&](std::string_view s) {
    if (tokens.empty() || tokens.back().field != 0) tokens.push_back(Token{});
    tokens.back().text += s;
  };
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'' && i + 1 < picture.size() && picture[i + 1] == '\'') {
      literal("'");  // two quotes stand for one
      i += 2;
    } else if (c == '\'') {
      std::size_t end = i + 1;
      std::string text;
      while (end < picture.size()) {
        if (picture[end] == '\'') {
          if (end + 1 < picture.size() && picture[end + 1] == '\'') {
            text.push_back('\'');
            end += 2;
            continue;
          }
          break;
        }
        text.push_back(picture[end++]);
      }
      literal(text);
      i = end + 1;
    } else if (IsFieldLetter(c)) {
      std::size_t end = i;
      while (end < picture.size() && picture[end] == c) ++end;
      tokens.push_back(Token{c, static_cast<int>(end - i), {}});
      i = end;
    } else {
      literal(picture.substr(i, 1));
      ++i;
    }
  }
  return tokens;
}

void AppendNumber(std::string& out, int value, int digits) {
  std::string text = std::to_string(value < 0 ? -value : value);
  while (static_cast<int>(text.size()) < digits) text.insert(text.begin(), '0');
  out += text;
}

std::string Format(std::string_view picture, const LocalDateTime& v, const DateTimeFormat& format) {
  std::string out;
  const int hour12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
  for (const Token& t : Tokenize(picture)) {
    const int pad = t.width >= 2 ? 2 : 1;
    switch (t.field) {
      case 0:
        out += t.text;
        break;
      case 'd':
        AppendNumber(out, v.day, pad);
        break;
      case 'M':
        AppendNumber(out, v.month, pad);
        break;
      case 'y':
        if (t.width >= 3)
          AppendNumber(out, v.year, 4);
        else
          AppendNumber(out, v.year % 100, 2);
        break;
      case 'H':
        AppendNumber(out, v.hour, pad);
        break;
      case 'h':
        AppendNumber(out, hour12, pad);
        break;
      case 'm':
        AppendNumber(out, v.minute, pad);
        break;
      case 's':
        AppendNumber(out, v.second, pad);
        break;
      case 't': {
        const std::string& mark = v.hour < 12 ? format.am : format.pm;
        out += t.width == 1 ? mark.substr(0, 1) : mark;
        break;
      }
    }
  }
  return out;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsUsableTime(std::string_view picture) {
  bool hour = false;
  for (const Token& t : Tokenize(picture)) {
    if (t.field == 'd' || t.field == 'M' || t.field == 'y') return false;
    if (t.field != 0 && t.field != 't' && t.width > 2) return false;
    if (t.field == 'H' || t.field == 'h') hour = true;
  }
  return hour;
}

#ifdef _WIN32
std::string LocaleText(LCTYPE type) {
  wchar_t buffer[128] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
  if (length <= 1) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, length - 1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, buffer, length - 1, out.data(), size, nullptr, nullptr);
  return out;
}
#endif

}  // namespace

std::string PictureFromStrftime(std::string_view format) {
  std::string out;
  auto literal = [&](char c) {
    if (IsFieldLetter(c) || c == '\'')
      out += c == '\'' ? std::string("''") : std::string("'") + c + "'";
    else
      out.push_back(c);
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      literal(format[i]);
      continue;
    }
    if (++i >= format.size()) return {};
    char c = format[i];
    // GNU flags: "-" drops the padding; the others ("%_d", "%Od", "%Ey") change little.
    bool noPadding = false;
    while ((c == '-' || c == '_' || c == '0' || c == 'O' || c == 'E') && i + 1 < format.size()) {
      noPadding = noPadding || c == '-';
      c = format[++i];
    }
    switch (c) {
      case 'd':
        out += noPadding ? "d" : "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += noPadding ? "M" : "MM";
        break;
      case 'y':
        out += "yy";
        break;
      case 'Y':
        out += "yyyy";
        break;
      case 'H':
        out += noPadding ? "H" : "HH";
        break;
      case 'k':
        out += "H";
        break;
      case 'I':
        out += noPadding ? "h" : "hh";
        break;
      case 'l':
        out += "h";
        break;
      case 'M':
        out += "mm";
        break;
      case 'S':
        out += "ss";
        break;
      case 'p':
        out += "tt";
        break;
      case 'T':
        out += "HH:mm:ss";
        break;
      case 'R':
        out += "HH:mm";
        break;
      case 'r':
        out += "hh:mm:ss tt";
        break;
      case 'D':
        out += "MM/dd/yy";
        break;
      case 'F':
        out += "yyyy-MM-dd";
        break;
      case '%':
        out.push_back('%');
        break;
      default:
        return {};
    }
  }
  return out;
}

bool IsUsableShortDate(std::string_view picture) {
  bool day = false, month = false, year = false;
  bool afterField = false;
  for (const Token& t : Tokenize(picture)) {
    if (t.field != 0 && afterField) return false;  // fields need a separator to be read back
    afterField = t.field != 0;
    if (t.field == 0) {
      if (t.text.find(' ') != std::string::npos || t.text.empty()) return false;
      for (char c : t.text)
        if (c >= '0' && c <= '9') return false;
      continue;
    }
    if (t.field == 'd' && t.width <= 2)
      day = true;
    else if (t.field == 'M' && t.width <= 2)
      month = true;
    else if (t.field == 'y' && t.width != 3)
      year = true;
    else
      return false;
  }
  return day && month && year;
}

DateTimeFormat SystemDateTimeFormat() {
  DateTimeFormat format;
  std::string date, time, am, pm;
#ifdef _WIN32
  date = LocaleText(LOCALE_SSHORTDATE);
  time = LocaleText(LOCALE_STIMEFORMAT);
  am = LocaleText(LOCALE_S1159);
  pm = LocaleText(LOCALE_S2359);
#else
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  if (locale != static_cast<locale_t>(nullptr)) {
    date = PictureFromStrftime(nl_langinfo_l(D_FMT, locale));
    time = PictureFromStrftime(nl_langinfo_l(T_FMT, locale));
    am = nl_langinfo_l(AM_STR, locale);
    pm = nl_langinfo_l(PM_STR, locale);
    freelocale(locale);
  }
#endif
  format.shortDate = IsUsableShortDate(date) ? date : std::string(kFallbackDate);
  format.longTime = IsUsableTime(time) ? time : std::string(kFallbackTime);
  if (!am.empty()) format.am = am;
  if (!pm.empty()) format.pm = pm;
  return format;
}

std::optional<LocalDateTime> ToLocalDateTime(std::time_t time) {
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &time) != 0) return std::nullopt;
#else
  if (localtime_r(&time, &parts) == nullptr) return std::nullopt;
#endif
  return LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                       parts.tm_hour,        parts.tm_min,     std::min(parts.tm_sec, 59)};
}

std::optional<LocalDateTime> LastWriteLocal(const std::string& path) {
  std::error_code ec;
  const auto written =
      std::filesystem::last_write_time(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
  if (ec) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  return ToLocalDateTime(
      std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(system)));
}

std::string FormatDate(const LocalDateTime& value, const DateTimeFormat& format) {
  return Format(format.shortDate, value, format);
}

std::string FormatTime(const LocalDateTime& value, const DateTimeFormat& format) {
  return Format(format.longTime, value, format);
}

std::string DateTimeText(const LocalDateTime& value, const DateTimeFormat& format) {
  std::string text = FormatDate(value, format);
  if (value.hour != 0 || value.minute != 0 || value.second != 0) text.append(" ").append(FormatTime(value, format));
  return text;
}

std::string ElapsedText(long long seconds, const DateTimeFormat& format) {
  if (seconds < 0) seconds = 0;
  seconds %= 24 * 60 * 60;
  LocalDateTime v;
  v.hour = static_cast<int>(seconds / 3600);
  v.minute = static_cast<int>(seconds / 60 % 60);
  v.second = static_cast<int>(seconds % 60);
  return FormatTime(v, format);
}

std::optional<CalendarDate> ParseShortDate(std::string_view text, const DateTimeFormat& format) {
  CalendarDate date{-1, -1, -1};
  std::size_t pos = 0;
  auto readNumber = [&](int minDigits, int maxDigits) -> std::optional<int> {
    int value = 0, digits = 0;
    while (digits < maxDigits && pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos++] - '0');
      ++digits;
    }
    if (digits < minDigits) return std::nullopt;
    return value;
  };
  for (const Token& t : Tokenize(format.shortDate)) {
    if (t.field == 0) {
      if (text.substr(pos, t.text.size()) != t.text) return std::nullopt;
      pos += t.text.size();
      continue;
    }
    std::optional<int> number;
    if (t.field == 'd' || t.field == 'M') {
      number = t.width >= 2 ? readNumber(2, 2) : readNumber(1, 2);
      if (!number) return std::nullopt;
      (t.field == 'd' ? date.day : date.month) = *number;
    } else if (t.field == 'y') {
      number = t.width >= 3 ? readNumber(4, 4) : readNumber(2, 2);
      if (!number) return std::nullopt;
      date.year = t.width >= 3 ? *number : (*number <= 29 ? 2000 + *number : 1900 + *number);
    } else {
      return std::nullopt;
    }
  }
  if (pos != text.size()) return std::nullopt;
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1) return std::nullopt;
  if (date.day > DaysInMonth(date.year, date.month)) return std::nullopt;
  return date;
}

}  // namespace tersify::platform
