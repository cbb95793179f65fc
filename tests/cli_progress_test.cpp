// The command line's progress bar text.
#include <gtest/gtest.h>

#include "cli/progress.h"

namespace tersify::cli {
namespace {

TEST(CliProgress, BarFillsByBytesAndShowsRateAndTimeLeft) {
  const std::string tail = " 3/10 files  1.5 MB/3.0 MB  1.5 MB/s  0:01 left";  // 47 columns
  EXPECT_EQ(ProgressBar::Line(3, 10, 1'500'000, 3'000'000, 1.0, 80),
            "[" + std::string(15, '#') + std::string(15, '.') + "]" + tail);
  // Hours once the rest takes that long; a narrow terminal keeps ten columns of bar.
  EXPECT_EQ(ProgressBar::Line(1, 2, 1000, 4'000'000, 2.0, 20),
            "[" + std::string(10, '.') + "] 1/2 files  1.0 kB/4.0 MB  500 B/s  2:13:18 left");
}

TEST(CliProgress, EmptyOrFinishedRunsShowAFullBarWithoutTimeLeft) {
  EXPECT_EQ(ProgressBar::Line(0, 0, 0, 0, 0.0, 80), "[" + std::string(40, '#') + "] 0/0 files  0 B/0 B  0 B/s");
  // Files without bytes fill the bar by count.
  EXPECT_EQ(ProgressBar::Line(1, 4, 0, 0, 1.0, 60),
            "[" + std::string(7, '#') + std::string(24, '.') + "] 1/4 files  0 B/0 B  0 B/s");
  EXPECT_EQ(ProgressBar::Line(2, 2, 5'000'000'000, 5'000'000'000, 2.0, 80),
            "[" + std::string(39, '#') + "] 2/2 files  5.00 GB/5.00 GB  2.50 GB/s");
}

}  // namespace
}  // namespace tersify::cli
