// Which controls of the options dialog are enabled. The state depends on the
// order in which the rules ran (the rule of cbProcessEmbeded enables
// edMaxEmbCount whatever cbMaxEmbCount shows), so it is kept, not derived.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/option_table.h"

namespace tersify {

class ControlEnabling {
 public:
  // Everything enabled except edMaxEmbCount and the script-contents box.
  ControlEnabling();

  // Controls that any rule touches, by name; other controls are always enabled.
  bool IsEnabled(std::string_view control) const;

  // Runs the enabling rule of the named check box; a box without a rule
  // changes nothing. Returns false when the box has no rule.
  bool RunRule(std::string_view checkBox, const OptimizationSettings& s);

  // The save mode's rule: with radModifyOld the backup controls are enabled,
  // without it the output-folder controls and the "Packed file" menu item.
  void UpdateSaveModeControls(const OptimizationSettings& s);

  // Runs every rule once, in the order of the option table.
  void RunAllRules(const OptimizationSettings& s);

  const std::vector<std::pair<std::string, bool>>& states() const { return states_; }

 private:
  void Set(std::string_view control, bool enabled);
  std::vector<std::pair<std::string, bool>> states_;
};

}  // namespace tersify
