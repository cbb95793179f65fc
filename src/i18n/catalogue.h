// Message texts by key in the current language, and the message boxes.
// All texts here are UTF-8: language files are decoded from their ANSI code
// page when they are loaded (i18n/language_file.h).
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/interaction.h"

namespace tersify {

class LanguageFile;  // i18n/language_file.h

class MessageCatalogue {
 public:
  MessageCatalogue() = default;
  explicit MessageCatalogue(std::shared_ptr<const LanguageFile> file) : file_(std::move(file)) {}

  void SetLanguageFile(std::shared_ptr<const LanguageFile> file) { file_ = std::move(file); }
  const std::shared_ptr<const LanguageFile>& languageFile() const { return file_; }

  // The text of a const_ key (case-insensitive) in section "Misc" of the current
  // language file, with every "*|*" mark turned into a line break. Missing key,
  // empty value or no language file: the empty text.
  std::string Text(std::string_view key) const;

 private:
  std::shared_ptr<const LanguageFile> file_;
};

// Every catalogue key (without ":string") with its English text, in catalogue order.
struct CatalogueEntry {
  std::string_view key;
  std::string_view english;  // line breaks as a single CR
};
const std::vector<CatalogueEntry>& CatalogueEntries();
// The English text of a catalogue key as written there, or the empty text.
std::string_view EnglishText(std::string_view key);

// Fills %s and %d placeholders in order with the given texts. Only the program
// does this substitution, so a language file holding %n or extra placeholders
// cannot do harm: surplus placeholders stay as they are, surplus arguments are
// ignored.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args);

// Shows an informative box: a text without a CR gets one CR in front of it.
void ShowMessageBox(UserInteraction& ui, const std::string& text, MessageKind kind);

}  // namespace tersify
