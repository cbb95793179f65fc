// TfrmOptions: the options dialog. Its controls show the settings record and
// write every change into it at once.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "settings/option_table.h"
#include "settings/options_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QVBoxLayout;

namespace tersify {
class MessageCatalogue;
class UserInteraction;
}  // namespace tersify

namespace tersify::ui {

class FileChooser;

class TfrmOptions : public QDialog {
  Q_OBJECT
 public:
  struct Services {
    OptionsDialogModel& model;
    const MessageCatalogue& catalogue;
    FileChooser& chooser;
  };

  TfrmOptions(Services services, QWidget* parent = nullptr);

  // Hooks to the rest of the program.
  std::function<void()> refreshPanel;
  std::function<void()> applyLanguage;
  // Enables a control of another window (the main window's "Packed file").
  std::function<void(const std::string& name, bool enabled)> enableOutside;
  std::function<void(bool replacement)> addTag;  // shows the tag dialog
  QString languageFolder;                        // where the language chooser opens

  // Shows the dialog on page 0 ("Common ") or 4 (" Miscellaneous") and brings it to the front.
  void ShowPage(int page);
  // Reads every control from the settings (after loading or a preset); a
  // changed check box runs its enabling rule.
  void ShowSettings();
  void ShowTagTables();
  // Shows the enabled state that the rules have reached.
  void ShowEnabling();

  QCheckBox* checkBox(const char* name) const;
  QLineEdit* edit(const char* name) const;
  QComboBox* modeList() const { return comboMode_; }
  QTabWidget* pages() const { return pages_; }
  QTreeWidget* replacementList() const { return listReplace_; }
  QTreeWidget* removalList() const { return listRemove_; }

  // The choosers of the buttons beside the fields.
  void ChooseFolder(const char* field);
  void ChooseExecutable(const char* field);
  void ChooseLanguageFile();
  void SelectEnglish();
  void RemoveReplacementEntry();
  void RemoveRemovalEntry();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QCheckBox* AddCheck(QWidget* page, const OptionRow& row);
  QLineEdit* AddNumberEdit(QWidget* parent, std::string_view name);
  // The check boxes of one group of the option table, in their order.
  void AddCheckBoxes(QWidget* parent, QVBoxLayout* v, OptionGroup group, bool indentAll = false);
  void ModeChosen(int mode);
  OptimizationSettings& settings() { return s_.model.settings(); }
  QString Text(const char* key) const;

  QWidget* BuildCommonPage();
  QWidget* BuildCommentsPage();
  QWidget* BuildTagsPage();
  QWidget* BuildFilesPage();
  QWidget* BuildMiscPage();

  Services s_;
  QTabWidget* pages_;
  QComboBox* comboMode_;
  QTreeWidget* listReplace_;
  QTreeWidget* listRemove_;
  QRadioButton* radSaveNewMod_;
  QRadioButton* radModifyOld_;
  std::map<std::string, QCheckBox*> checks_;
  std::vector<QLineEdit*> countEdits_;
  bool showing_ = false;
};

}  // namespace tersify::ui
