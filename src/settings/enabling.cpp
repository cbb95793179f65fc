#include "settings/enabling.h"

#include "settings/ini_file.h"
#include "settings/options.h"

namespace tersify {

ControlEnabling::ControlEnabling() {
  for (std::string_view name :
       {std::string_view("cbDelEmptyPar"), std::string_view("cbDelCRLF"),
        std::string_view("cbReplaceDoubleSpacesInKav"), std::string_view("cbReplaceDoubleNbspInKav"), kLabelCommentTags,
        std::string_view("cbIsScript"), std::string_view("cbIsStyle"), std::string_view("cbOuttag"),
        std::string_view("cbMaxEmbCount"), std::string_view("edMaxEmbCount"), std::string_view("edMaxFCount"),
        std::string_view("cbSaveBefMod"), std::string_view("edBackUpPath"), kButtonBackUpPath,
        std::string_view("edOptimizedPath"), kButtonOptimizedPath, kLabelOptimizedPath, kMenuPackedFile,
        kCheckScriptsKept})
    states_.emplace_back(std::string(name), true);
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
  auto is = [box](std::string_view name) { return EqualsIgnoringCase(box, name); };
  if (is("cbDelKav")) {
    Set("cbDelEmptyPar", s.cbDelKav);
  } else if (is("cbDelEmptyLine")) {
    Set("cbDelCRLF", s.cbDelEmptyLine);
  } else if (is("cbReplaceDoubleSpaces")) {
    Set("cbReplaceDoubleSpacesInKav", s.cbReplaceDoubleSpaces);
  } else if (is("cbReplaceDoubleNbsp")) {
    Set("cbReplaceDoubleNbspInKav", s.cbReplaceDoubleNbsp);
  } else if (is("cbDelComments")) {
    for (std::string_view c : {kLabelCommentTags, std::string_view("cbIsScript"), std::string_view("cbIsStyle"),
                               std::string_view("cbOuttag")})
      Set(c, s.cbDelComments);
  } else if (is("cbProcessEmbeded")) {
    Set("cbMaxEmbCount", s.cbProcessEmbeded);
    Set("edMaxEmbCount", s.cbProcessEmbeded);
  } else if (is("cbMaxEmbCount")) {
    Set("edMaxEmbCount", s.cbMaxEmbCount);
  } else if (is("cbMaxFCount")) {
    Set("edMaxFCount", s.cbMaxFCount);
  } else if (is("radModifyOld")) {
    UpdateSaveModeControls(s);
  } else {
    return false;
  }
  return true;
}

void ControlEnabling::UpdateSaveModeControls(const OptimizationSettings& s) {
  const bool m = s.radModifyOld;
  for (std::string_view c : {std::string_view("cbSaveBefMod"), std::string_view("edBackUpPath"), kButtonBackUpPath})
    Set(c, m);
  for (std::string_view c :
       {std::string_view("edOptimizedPath"), kButtonOptimizedPath, kLabelOptimizedPath, kMenuPackedFile})
    Set(c, !m);
}

void ControlEnabling::RunAllRules(const OptimizationSettings& s) {
  for (const auto& key : OptionKeys()) RunRule(key.key, s);
}

}  // namespace tersify
