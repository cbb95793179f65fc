#include "settings/enabling.h"

#include "settings/ini_file.h"
#include "settings/options.h"

namespace tersify {

ControlEnabling::ControlEnabling() {
  auto add = [this](std::string_view control) {
    if (control.empty()) return;
    for (const auto& state : states_)
      if (state.first == control) return;
    states_.emplace_back(std::string(control), true);
  };
  for (const auto& row : kOptionTable) {
    for (auto control : row.enables) add(control);
    for (auto control : row.disables) add(control);
  }
  add(kCheckScriptsKept);
  Set("edMaxEmbCount", false);
  Set(kCheckScriptsKept, false);
}

bool ControlEnabling::IsEnabled(std::string_view control) const {
  for (const auto& [name, enabled] : states_)
    if (EqualsIgnoringCase(name, control)) return enabled;
  return true;
}

void ControlEnabling::Set(std::string_view control, bool enabled) {
  for (auto& [name, state] : states_)
    if (name == control) state = enabled;
}

bool ControlEnabling::RunRule(std::string_view box, const OptimizationSettings& s) {
  const OptionRow* row = FindOption(box);
  if (!row || !row->HasRule()) return false;
  const bool ticked = Ticked(s, *row);
  for (auto control : row->enables)
    if (!control.empty()) Set(control, ticked);
  for (auto control : row->disables)
    if (!control.empty()) Set(control, !ticked);
  return true;
}

void ControlEnabling::UpdateSaveModeControls(const OptimizationSettings& s) { RunRule("radModifyOld", s); }

void ControlEnabling::RunAllRules(const OptimizationSettings& s) {
  for (const auto& row : kOptionTable) RunRule(row.key, s);
}

}  // namespace tersify
