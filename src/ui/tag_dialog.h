// TfrmTagReplaceDlg: the small dialog that adds an entry to one of the tag tables.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "settings/tag_tables.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tersify::ui {

class TfrmTagReplaceDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmTagReplaceDlg(QWidget* parent = nullptr);

  // Shows the dialog with the given caption for one of the tables; the "To
  // tag" field is offered only for the replacement table. Both fields are
  // cleared.
  void ShowFor(const QString& caption, TagDialogMode mode);
  TagDialogMode mode() const { return mode_; }

  // The Add button: gets the dialog's mode and the two typed tags; returns
  // true when the entry was added and the dialog may close. A refused pair may
  // clear the fields through ClearFields.
  std::function<bool(TagDialogMode mode, const std::string& from, const std::string& to)> add;

  void ClearFields();
  QLineEdit* fromEdit() const { return edFrom_; }
  QLineEdit* toEdit() const { return edTo_; }
  QPushButton* addButton() const { return butAdd_; }

 private:
  QLineEdit* edFrom_;
  QLineEdit* edTo_;
  QPushButton* butAdd_;
  TagDialogMode mode_ = TagDialogMode::Replacement;
};

}  // namespace tersify::ui
