#include <cmath>

#include "run/run_state.h"

namespace tersify {

int OptimizationRatio(std::int64_t before, std::int64_t after) {
  if (before <= 0) return 0;
  double quotient = static_cast<double>(after) / static_cast<double>(before);
  // The default rounding mode rounds halves to the even neighbour.
  double r = std::nearbyint(quotient * 100.0);
  return static_cast<int>(100.0 - r);
}

void RunStatistics::AddFile(std::int64_t before, std::int64_t after) {
  sizeBefore = before;
  sizeAfter = after;
  totalBefore += before;
  totalAfter += after;
  int ratio = OptimizationRatio(before, after);
  if (ratio > maxRatio) maxRatio = ratio;
  ratioSum += ratio;
  ++files;
}

std::int64_t RunStatistics::AverageRatio() const { return files == 0 ? 0 : ratioSum / files; }

}  // namespace tersify
