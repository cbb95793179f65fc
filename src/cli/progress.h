// The progress bar on standard error: files done, bytes, rate and time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tersify::cli {

class ProgressBar {
 public:
  using Clock = std::chrono::steady_clock;

  // Shows nothing unless `enabled`.
  ProgressBar(std::FILE* out, bool enabled, std::size_t files, std::int64_t bytes);

  // After each file; redraws at most ten times a second.
  void Update(std::size_t filesDone, std::int64_t bytesDone);
  // Removes the bar from the line (before other output and at the end).
  void Clear();

  // The text of the bar, for a width in columns.
  static std::string Line(std::size_t filesDone, std::size_t files, std::int64_t bytesDone, std::int64_t bytes,
                          double seconds, int width);

 private:
  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  std::size_t files_;
  std::int64_t bytes_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_{};
};

// "1.5 MB", "830 kB", "512 B".
std::string SizeText(double bytes);
// "0:03", "1:02:03".
std::string DurationText(double seconds);

}  // namespace tersify::cli
