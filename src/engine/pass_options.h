// The options the passes read: the pass check boxes of the settings record,
// taken for one run.
#pragma once

#include <bitset>

#include "settings/option_table.h"
#include "settings/options.h"

namespace tersify {

struct PassOptions {
  std::bitset<kMaxOptions> on;

  bool operator[](SwitchKey k) const { return on[k.row]; }
  void Set(SwitchKey k, bool value) { on[k.row] = value; }
  bool operator==(const PassOptions&) const = default;
};

inline PassOptions PassOptionsOf(const OptimizationSettings& s) {
  PassOptions o;
  for (std::size_t row = 0; row < kMaxOptions; ++row) o.on[row] = s.switches[row];
  return o;
}

}  // namespace tersify
