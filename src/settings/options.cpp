#include "settings/options.h"

#include <type_traits>

#include "settings/ini_file.h"
#include "settings/option_table.h"

namespace tersify {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Calls visit with a reference to the row's value in the record.
template <class Record, class Visit>
decltype(auto) WithValue(Record& s, const OptionRow& row, Visit&& visit) {
  return std::visit(
      Overloaded{[&](ColumnWidth c) -> decltype(auto) { return visit((s.*c.widths)[c.column]); },
                 [&](PassSwitch) -> decltype(auto) { return visit(s.switches[&row - kOptionTable.data()]); },
                 [&](auto member) -> decltype(auto) { return visit(s.*member); }},
      row.field);
}

bool SetRow(OptimizationSettings& s, const OptionRow& row, std::string_view value) {
  return WithValue(s, row, [&](auto& field) {
    using T = std::remove_reference_t<decltype(field)>;
    if constexpr (std::is_same_v<T, std::string>) {
      field = std::string(value);
      return true;
    } else {
      auto v = ParseIniInteger(value);
      if (!v) return false;
      if constexpr (std::is_same_v<T, bool>) {
        field = *v != 0;
      } else {
        if (*v < row.least || *v > row.most) return false;
        field = *v;
      }
      return true;
    }
  });
}

}  // namespace

bool& Ticked(OptimizationSettings& s, const OptionRow& row) {
  if (IsPassSwitch(row)) return s.switches[&row - kOptionTable.data()];
  return s.*std::get<bool OptimizationSettings::*>(row.field);
}

bool Ticked(const OptimizationSettings& s, const OptionRow& row) {
  if (IsPassSwitch(row)) return s.switches[&row - kOptionTable.data()];
  return s.*std::get<bool OptimizationSettings::*>(row.field);
}

const OptionRow* FindOption(std::string_view key) {
  for (const auto& row : kOptionTable)
    if (EqualsIgnoringCase(row.key, key)) return &row;
  return nullptr;
}

OptimizationSettings::OptimizationSettings() {
  for (const auto& row : kOptionTable) SetRow(*this, row, row.byDefault);
}

std::vector<std::string> ApplyModePreset(OptimizationSettings& s, int mode) {
  std::vector<std::string> changed;
  if (mode != kModeNormal && mode != kModeMax) return changed;
  for (const auto& row : kOptionTable) {
    const Preset preset = mode == kModeNormal ? row.normal : row.max;
    if (preset == Preset::Keep || (preset == Preset::OnWithScriptsMax && !s["cbDelScriptsMax"])) continue;
    bool& field = Ticked(s, row);
    const bool value = preset != Preset::Off;
    if (field != value) {
      field = value;
      changed.emplace_back(row.key);
    }
  }
  return changed;
}

bool IsModeSensitiveCheckBox(std::string_view name) {
  const OptionRow* row = FindOption(name);
  return row && row->modeSensitive;
}

bool OnCheckBoxMousePress(OptimizationSettings& s, std::string_view name) {
  if (!IsModeSensitiveCheckBox(name) || s.comboMode == kModeUsers) return false;
  s.comboMode = kModeUsers;
  return true;
}

std::optional<OptionType> OptionTypeOf(std::string_view key) {
  const OptionRow* row = FindOption(key);
  if (!row) return std::nullopt;
  return row->type();
}

std::optional<std::string> GetOption(const OptimizationSettings& s, std::string_view key) {
  const OptionRow* row = FindOption(key);
  if (!row) return std::nullopt;
  return WithValue(s, *row, [](const auto& field) {
    using T = std::remove_cvref_t<decltype(field)>;
    if constexpr (std::is_same_v<T, std::string>) {
      return field;
    } else if constexpr (std::is_same_v<T, bool>) {
      return std::string(field ? "1" : "0");
    } else {
      return std::to_string(field);
    }
  });
}

bool SetOption(OptimizationSettings& s, std::string_view key, std::string_view value) {
  const OptionRow* row = FindOption(key);
  return row && SetRow(s, *row, value);
}

}  // namespace tersify
