#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/date_time.h"
#include "support/temp_folder.h"

namespace tersify::platform {
namespace {

DateTimeFormat German() { return {"dd.MM.yyyy", "HH:mm:ss", "", ""}; }
DateTimeFormat American() { return {"M/d/yyyy", "h:mm:ss tt", "AM", "PM"}; }

TEST(DateTimeTest, DateBlankTimeAndTheMidnightRule) {
  EXPECT_EQ(DateTimeText({2024, 3, 5, 7, 8, 9}, German()), "05.03.2024 07:08:09");
  EXPECT_EQ(DateTimeText({2024, 3, 5, 0, 0, 0}, German()), "05.03.2024");
  EXPECT_EQ(DateTimeText({2024, 3, 5, 0, 0, 1}, German()), "05.03.2024 00:00:01");
  EXPECT_EQ(DateTimeText({2024, 12, 31, 23, 59, 59}, German()), "31.12.2024 23:59:59");
  EXPECT_EQ(DateTimeText({2024, 3, 5, 13, 5, 0}, American()), "3/5/2024 1:05:00 PM");
  EXPECT_EQ(DateTimeText({2024, 3, 5, 0, 30, 0}, American()), "3/5/2024 12:30:00 AM");
  EXPECT_EQ(DateTimeText({2024, 3, 5, 12, 0, 0}, American()), "3/5/2024 12:00:00 PM");
  EXPECT_EQ(FormatDate({2009, 1, 2}, {"yy'y'MM''dd'd''s'", "HH", "", ""}), "09y01'02d's");
}

TEST(DateTimeTest, ElapsedTimeShownAsTimeOfDay) {
  const DateTimeFormat f{"dd.MM.yyyy", "H:mm:ss", "", ""};
  EXPECT_EQ(ElapsedText(7, f), "0:00:07");
  EXPECT_EQ(ElapsedText(3 * 3600 + 61, f), "3:01:01");
  EXPECT_EQ(ElapsedText(24 * 3600 + 5, f), "0:00:05");
  EXPECT_EQ(ElapsedText(-3, f), "0:00:00");
  EXPECT_EQ(ElapsedText(7, American()), "12:00:07 AM");
}

TEST(DateTimeTest, ShortDatesReadBack) {
  for (const DateTimeFormat& f : {German(), American(), DateTimeFormat{"yyyy-MM-dd", "HH:mm:ss", "", ""},
                                  DateTimeFormat{"dd/MM/yy", "HH:mm", "", ""}}) {
    for (int year : {1930, 1999, 2000, 2024, 2029}) {
      for (int month = 1; month <= 12; ++month) {
        for (int day : {1, 9, 10, 28, 29, 30, 31}) {
          const LocalDateTime v{year, month, day, 10, 0, 0};
          const auto parsed = ParseShortDate(FormatDate(v, f), f);
          const bool real = !(day > 30 && (month == 4 || month == 6 || month == 9 || month == 11)) &&
                            !(month == 2 && day > ((year % 4 == 0 && year != 1900) ? 29 : 28));
          if (real) {
            ASSERT_TRUE(parsed) << f.shortDate << " " << FormatDate(v, f);
            EXPECT_EQ(*parsed, (CalendarDate{year, month, day}));
          } else {
            EXPECT_FALSE(parsed) << FormatDate(v, f);
          }
        }
      }
    }
  }
}

TEST(DateTimeTest, BadDatesAreRefused) {
  const DateTimeFormat g = German();
  EXPECT_EQ(ParseShortDate("29.02.2024", g), (CalendarDate{2024, 2, 29}));
  EXPECT_FALSE(ParseShortDate("29.02.2023", g));
  EXPECT_FALSE(ParseShortDate("00.01.2024", g));
  EXPECT_FALSE(ParseShortDate("01.13.2024", g));
  EXPECT_FALSE(ParseShortDate("1.1.2024", g));  // padded fields need both digits
  EXPECT_FALSE(ParseShortDate("05.03.2024x", g));
  EXPECT_FALSE(ParseShortDate("05.03.2024 10:00:00", g));
  EXPECT_FALSE(ParseShortDate("05-03-2024", g));
  EXPECT_FALSE(ParseShortDate("", g));
  EXPECT_FALSE(ParseShortDate("\xFF\xFE", g));
  const DateTimeFormat twoDigits{"MM/dd/yy", "HH:mm:ss", "", ""};
  EXPECT_EQ(ParseShortDate("01/02/29", twoDigits), (CalendarDate{2029, 1, 2}));
  EXPECT_EQ(ParseShortDate("01/02/30", twoDigits), (CalendarDate{1930, 1, 2}));
  EXPECT_EQ(ParseShortDate("3/5/2024", American()), (CalendarDate{2024, 3, 5}));
  EXPECT_EQ(ParseShortDate("12/25/2024", American()), (CalendarDate{2024, 12, 25}));
  // Dates compare by year, month, day.
  EXPECT_LT((CalendarDate{2023, 12, 31}), (CalendarDate{2024, 1, 1}));
}

TEST(DateTimeTest, PicturesFromLocaleFormats) {
  EXPECT_EQ(PictureFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
  EXPECT_EQ(PictureFromStrftime("%m/%d/%y"), "MM/dd/yy");
  EXPECT_EQ(PictureFromStrftime("%e/%-m/%Y"), "d/M/yyyy");
  EXPECT_EQ(PictureFromStrftime("%-I:%M %p"), "h:mm tt");
  EXPECT_EQ(PictureFromStrftime("%r"), "hh:mm:ss tt");
  EXPECT_EQ(PictureFromStrftime("%T"), "HH:mm:ss");
  EXPECT_EQ(PictureFromStrftime("%Y-%m-%dT"), "yyyy-MM-ddT");
  EXPECT_EQ(PictureFromStrftime("%Hh%M's"), "HH'h'mm'''s'");
  EXPECT_EQ(PictureFromStrftime("%b %d"), "");
  EXPECT_EQ(PictureFromStrftime("%"), "");
  EXPECT_TRUE(IsUsableShortDate("yyyy-MM-dd"));
  EXPECT_TRUE(IsUsableShortDate("d/M/yy"));
  EXPECT_FALSE(IsUsableShortDate("dd MM yyyy"));  // a blank would cut the date
  EXPECT_FALSE(IsUsableShortDate("dd.MM"));
  EXPECT_FALSE(IsUsableShortDate("MMM d yyyy"));
  EXPECT_FALSE(IsUsableShortDate("ddMMyyyy"));  // fields need a separator to be read back
  EXPECT_FALSE(IsUsableShortDate(""));
  const DateTimeFormat system = SystemDateTimeFormat();
  EXPECT_TRUE(IsUsableShortDate(system.shortDate)) << system.shortDate;
  EXPECT_EQ(ParseShortDate(FormatDate({2024, 7, 14, 0, 0, 0}, system), system), (CalendarDate{2024, 7, 14}));
}

TEST(DateTimeTest, FileTimesInLocalTime) {
  namespace fs = std::filesystem;
  const tersify::testing::TempFolder tmp;
  const fs::path file = tmp.root() / "page.html";
  std::ofstream(file) << "x";
  const std::time_t when = 1700000000;  // 14 Nov 2023, 22:13:20 UTC
  fs::last_write_time(file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
  const auto local = LastWriteLocal(file.string());
  const auto expected = ToLocalDateTime(when);
  ASSERT_TRUE(local && expected);
  EXPECT_EQ(DateTimeText(*local, German()), DateTimeText(*expected, German()));
  EXPECT_EQ(local->year, 2023);
  fs::remove(file);
  EXPECT_FALSE(LastWriteLocal(file.string()));
}

}  // namespace
}  // namespace tersify::platform
