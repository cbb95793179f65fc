// Applying a language file to the windows and to the message catalogue.
//
// The windows stay behind two small interfaces, so this code knows nothing of
// the widget toolkit: a window names itself, takes a title and lists its
// components; each component says which kinds of text it carries. All texts
// passed through these interfaces are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "i18n/catalogue.h"
#include "i18n/interaction.h"
#include "i18n/language_file.h"

namespace tersify {

// A component whose texts a language file may replace. The defaults describe a
// component without any text; each component overrides what it has.
class TranslatableComponent {
 public:
  virtual ~TranslatableComponent() = default;

  // The fixed name the window gives the component ("butClose", "comboMode").
  virtual std::string Name() const = 0;

  virtual bool HasCaption() const { return false; }
  virtual void SetCaption(const std::string& /*text*/) {}
  virtual bool HasHint() const { return false; }
  virtual void SetHint(const std::string& /*text*/) {}

  // Multi-line text components: the lines held now.
  virtual std::size_t LineCount() const { return 0; }
  virtual void SetLine(std::size_t /*index*/, const std::string& /*text*/) {}

  // Radio groups and drop-down lists: the items held now and the selection
  // (-1 for none), which replacing items must not lose.
  virtual std::size_t ItemCount() const { return 0; }
  virtual void SetItem(std::size_t /*index*/, const std::string& /*text*/) {}
  virtual int SelectedItem() const { return -1; }
  virtual void SelectItem(int /*index*/) {}

  // List views: the column captions.
  virtual std::size_t ColumnCount() const { return 0; }
  virtual void SetColumnCaption(std::size_t /*index*/, const std::string& /*text*/) {}
};

class TranslatableWindow {
 public:
  virtual ~TranslatableWindow() = default;

  // The window's name, which is also its section in language files ("frmOptions").
  virtual std::string Name() const = 0;
  virtual void SetTitle(const std::string& text) = 0;
  // The components in the window's own order.
  virtual std::vector<TranslatableComponent*> Components() = 0;
  // Called on every window once a new language is in all of them; the main
  // window rebuilds the menus it copies from other menus here.
  virtual void LanguageChanged() {}
};

// The order in which windows take a new language.
inline constexpr std::array<std::string_view, 6> kLanguageWindowOrder = {
    "frmAbout", "frmMain", "frmOptions", "frmReplaceDlg", "frmReport", "frmTagReplaceDlg"};

// The default language file's name, beside the program.
inline constexpr std::string_view kDefaultLanguageFileName = "Deflan.dat";

// Every "*|*" of a caption or hint becomes one carriage return.
std::string DecodeLineMarks(std::string_view text);

// Puts the texts that the file names into one window. A setter that throws
// ends the application at that point; the texts set before stay.
void ApplyLanguageToWindow(TranslatableWindow& window, const LanguageFile& file);

// The language file in use: the chosen path, or the default file in the
// program's folder (which ends with a separator) when none is chosen.
std::string LanguageFilePath(const std::string& chosenPath, const std::string& programFolder);

// Loads the language file (a missing file is an empty one), makes it the
// catalogue's file and applies it to the windows in kLanguageWindowOrder
// (windows of other names follow in the order given), then tells every window
// that the language changed. A file that cannot be read, or a window that
// fails to take a text, shows the error "const_err_lan" and returns false;
// an unreadable file leaves the catalogue as it was.
bool ApplyLanguage(const std::string& chosenPath, const std::string& programFolder, CodePage codePage,
                   MessageCatalogue& catalogue, std::span<TranslatableWindow* const> windows, UserInteraction& ui);

// The language choice stored in the options file: the value of "edLan" in
// section "settings" (empty when the key is missing), or nullopt when that
// section is missing or holds no key, in which case the choice is left as it is.
std::optional<std::string> LanguagePathFromOptions(const LanguageFile& options);

}  // namespace tersify
