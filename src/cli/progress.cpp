#include "cli/progress.h"

#include <algorithm>
#include <cmath>

namespace tersify::cli {

std::string SizeText(double bytes) {
  char buf[32];
  if (bytes < 1000)
    std::snprintf(buf, sizeof buf, "%.0f B", bytes);
  else if (bytes < 1e6)
    std::snprintf(buf, sizeof buf, "%.1f kB", bytes / 1e3);
  else if (bytes < 1e9)
    std::snprintf(buf, sizeof buf, "%.1f MB", bytes / 1e6);
  else
    std::snprintf(buf, sizeof buf, "%.2f GB", bytes / 1e9);
  return buf;
}

std::string DurationText(double seconds) {
  long long s = seconds < 0 ? 0 : static_cast<long long>(std::llround(seconds));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
  return buf;
}

ProgressBar::ProgressBar(std::FILE* out, bool enabled, std::size_t files, std::int64_t bytes)
    : out_(out), enabled_(enabled), files_(files), bytes_(bytes) {}

std::string ProgressBar::Line(std::size_t filesDone, std::size_t files, std::int64_t bytesDone, std::int64_t bytes,
                              double seconds, int width) {
  double part = bytes > 0 ? static_cast<double>(bytesDone) / static_cast<double>(bytes)
                          : (files > 0 ? static_cast<double>(filesDone) / static_cast<double>(files) : 1.0);
  part = std::clamp(part, 0.0, 1.0);
  double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
  // Built by appending: g++ 12 warns falsely about chains of string "+".
  std::string tail;
  for (const std::string& piece :
       {std::string(" "), std::to_string(filesDone), std::string("/"), std::to_string(files), std::string(" files  "),
        SizeText(static_cast<double>(bytesDone)), std::string("/"), SizeText(static_cast<double>(bytes)),
        std::string("  "), SizeText(rate), std::string("/s")})
    tail.append(piece);
  if (rate > 0 && bytesDone < bytes)
    tail.append("  ").append(DurationText(static_cast<double>(bytes - bytesDone) / rate)).append(" left");
  int barWidth = std::clamp(width - static_cast<int>(tail.size()) - 3, 10, 40);
  int filled = static_cast<int>(part * barWidth);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#').append(static_cast<std::size_t>(barWidth - filled), '.');
  return line.append("]").append(tail);
}

void ProgressBar::Update(std::size_t filesDone, std::int64_t bytesDone) {
  if (!enabled_) return;
  Clock::time_point now = Clock::now();
  if (shown_ && now - last_ < std::chrono::milliseconds(100) && filesDone < files_) return;
  last_ = now;
  double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(out_, "\r%s\x1b[K", Line(filesDone, files_, bytesDone, bytes_, seconds, 80).c_str());
  std::fflush(out_);
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!enabled_ || !shown_) return;
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace tersify::cli
