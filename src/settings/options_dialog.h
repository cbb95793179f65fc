// What the options dialog does, without its widgets: the window shows the
// record and the tag tables held here and forwards the user's actions.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/enabling.h"
#include "settings/options.h"
#include "settings/options_file.h"
#include "settings/tag_tables.h"

namespace tersify {

// The number filter of edMaxFCount and edMaxEmbCount: digits, Enter (13) and
// Backspace (8) are accepted, every other typed character is rejected.
bool AcceptsCountKey(int code);

struct ValidationResult {
  bool outputFolderMissing = false;  // "const_optf_error" was shown
  bool editorMissing = false;        // "const_ext_error" was shown
};

// Adds a trailing separator to edOptimizedPath when it has none, then warns
// when that folder or the file edExtEditor does not exist. Never gated by a
// show preference; changes no other field.
ValidationResult ValidateOptions(OptimizationSettings& settings, UserInteraction& ui,
                                 const MessageCatalogue& catalogue);

enum class FolderField { Optimized, BackUp };
enum class ExecutableField { ExtEditor, Browser };

class OptionsDialogModel {
 public:
  OptionsDialogModel(OptimizationSettings& settings, TagTables& tables, SettingsContext context);

  OptimizationSettings& settings() { return settings_; }
  TagTables& tables() { return tables_; }
  ControlEnabling& enabling() { return enabling_; }
  bool IsEnabled(std::string_view control) const { return enabling_.IsEnabled(control); }

  // A check box changed by the user (mouse or keyboard): the value is set
  // and its enabling rule runs. False for an unknown box.
  bool SetCheckBox(std::string_view name, bool value);
  // A mouse press on a check box, before its value changes: a pass box
  // switches the mode to "Users' settings". True when the mode changed.
  bool MousePress(std::string_view name);
  // A mode picked in the mode list: its preset applies and the rules of the
  // boxes it changed run. Returns those boxes' names.
  std::vector<std::string> ChooseMode(int mode);
  // One of the two save-mode radio buttons was clicked.
  void SetSaveMode(bool modifySources);

  // A folder button: a picked folder gets a trailing separator; validation
  // runs whether or not one was picked.
  ValidationResult FolderChosen(FolderField field, const std::optional<std::string>& picked);
  // A file button of the editor or browser: the field becomes the picked path
  // in lower case, or empty when the chooser was cancelled.
  void ExecutableChosen(ExecutableField field, const std::optional<std::string>& picked);
  // The language file button: a picked file becomes edLan in lower case and
  // applyLanguage runs; a cancel changes nothing. Nothing is saved. True
  // when a file was picked.
  bool LanguageFileChosen(const std::optional<std::string>& picked, const std::function<void()>& applyLanguage);
  // The English button: edLan is emptied, applyLanguage runs, the options are saved.
  SaveOptionsResult EnglishChosen(const std::function<void()>& applyLanguage);

  // Start-up: LoadOptions with this dialog's enabling rules.
  LoadOptionsResult Load();
  ValidationResult Validate();
  // The Close button: the options are saved; the caller then refreshes the
  // files panel's file information and hides the window. Closing the window
  // any other way saves nothing and needs no call.
  SaveOptionsResult Close();

  // The tag page: add (the tag dialog's Add button), remove (remove buttons)
  // and sort (a header click of the replacement list).
  TagAddResult AddTag(TagDialogMode mode, std::string_view from, std::string_view to);
  bool RemoveReplacement(std::optional<std::size_t> selected);
  bool RemoveRemoval(std::optional<std::size_t> selected);
  void SortReplacement(ReplacementSortColumn column);

 private:
  OptimizationSettings& settings_;
  TagTables& tables_;
  SettingsContext context_;
  ControlEnabling enabling_;
};

}  // namespace tersify
