#include "settings/options_dialog.h"

#include <filesystem>
#include <system_error>

#include "i18n/catalogue.h"
#include "platform/paths.h"

namespace tersify {
namespace {

bool FolderExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(std::filesystem::path(path), ec);
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::path p(path);
  return std::filesystem::exists(p, ec) && !std::filesystem::is_directory(p, ec);
}

}  // namespace

bool AcceptsCountKey(int code) { return (code >= '0' && code <= '9') || code == 13 || code == 8; }

ValidationResult ValidateOptions(OptimizationSettings& settings, UserInteraction& ui,
                                 const MessageCatalogue& catalogue) {
  ValidationResult result;
  if (!EndsWithSeparator(settings.edOptimizedPath)) settings.edOptimizedPath += PathSeparator();
  if (!FolderExists(settings.edOptimizedPath)) {
    result.outputFolderMissing = true;
    ShowMessageBox(ui, catalogue.Text("const_optf_error"), MessageKind::Warning);
  }
  if (!FileExists(settings.edExtEditor)) {
    result.editorMissing = true;
    ShowMessageBox(ui, catalogue.Text("const_ext_error"), MessageKind::Warning);
  }
  return result;
}

OptionsDialogModel::OptionsDialogModel(OptimizationSettings& settings, TagTables& tables, SettingsContext context)
    : settings_(settings), tables_(tables), context_(std::move(context)) {}

bool OptionsDialogModel::SetCheckBox(std::string_view name, bool value) {
  if (OptionTypeOf(name) != OptionType::Bool) return false;
  SetOption(settings_, name, value ? "1" : "0");
  enabling_.RunRule(name, settings_);
  return true;
}

bool OptionsDialogModel::MousePress(std::string_view name) { return OnCheckBoxMousePress(settings_, name); }

std::vector<std::string> OptionsDialogModel::ChooseMode(int mode) {
  if (mode < kModeNormal || mode > kModeUsers) return {};
  settings_.comboMode = mode;
  auto changed = ApplyModePreset(settings_, mode);
  for (const auto& name : changed) enabling_.RunRule(name, settings_);
  return changed;
}

void OptionsDialogModel::SetSaveMode(bool modifySources) {
  settings_.radModifyOld = modifySources;
  enabling_.UpdateSaveModeControls(settings_);
}

ValidationResult OptionsDialogModel::FolderChosen(FolderField field, const std::optional<std::string>& picked) {
  if (picked) {
    std::string path = *picked;
    if (!EndsWithSeparator(path)) path += PathSeparator();
    (field == FolderField::Optimized ? settings_.edOptimizedPath : settings_.edBackUpPath) = path;
  }
  return Validate();
}

void OptionsDialogModel::ExecutableChosen(ExecutableField field, const std::optional<std::string>& picked) {
  (field == ExecutableField::ExtEditor ? settings_.edExtEditor : settings_.edBrowser) =
      picked ? platform::NormalizePathCase(*picked) : std::string();
}

bool OptionsDialogModel::LanguageFileChosen(const std::optional<std::string>& picked,
                                            const std::function<void()>& applyLanguage) {
  if (!picked) return false;
  settings_.edLan = platform::NormalizePathCase(*picked);
  if (applyLanguage) applyLanguage();
  return true;
}

SaveOptionsResult OptionsDialogModel::EnglishChosen(const std::function<void()>& applyLanguage) {
  settings_.edLan.clear();
  if (applyLanguage) applyLanguage();
  return SaveOptions(context_, settings_, tables_);
}

LoadOptionsResult OptionsDialogModel::Load() { return LoadOptions(context_, settings_, tables_, &enabling_); }

ValidationResult OptionsDialogModel::Validate() { return ValidateOptions(settings_, context_.ui, context_.catalogue); }

SaveOptionsResult OptionsDialogModel::Close() { return SaveOptions(context_, settings_, tables_); }

TagAddResult OptionsDialogModel::AddTag(TagDialogMode mode, std::string_view from, std::string_view to) {
  if (mode == TagDialogMode::Removal)
    return AddRemovalEntry(tables_.removal, from, settings_, context_.ui, context_.catalogue);
  return AddReplacementEntry(tables_.replacement, from, to, context_.ui, context_.catalogue);
}

bool OptionsDialogModel::RemoveReplacement(std::optional<std::size_t> selected) {
  return RemoveReplacementEntry(tables_.replacement, selected, context_.ui, context_.catalogue);
}

bool OptionsDialogModel::RemoveRemoval(std::optional<std::size_t> selected) {
  return RemoveRemovalEntry(tables_.removal, selected, context_.ui, context_.catalogue);
}

void OptionsDialogModel::SortReplacement(ReplacementSortColumn column) {
  SortReplacementTable(tables_.replacement, column);
}

}  // namespace tersify
