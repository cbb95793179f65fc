#include "ui/tag_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify::ui {

TfrmTagReplaceDlg::TfrmTagReplaceDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("frmTagReplaceDlg");
  setWindowTitle("Tags replacement");
  setModal(false);
  setFixedSize(300, 130);
  MakeLabel(this, "labFrom", "From tag", 16, 12, 120);
  MakeLabel(this, "labTo", "To tag", 156, 12, 120);
  MakeLabel(this, "labLt1", "<", 8, 36, 8);
  MakeLabel(this, "labGt1", ">", 134, 36, 8);
  MakeLabel(this, "labLt2", "<", 148, 36, 8);
  MakeLabel(this, "labGt2", ">", 274, 36, 8);
  edFrom_ = new QLineEdit(this);
  edFrom_->setObjectName("edFrom");
  edFrom_->setMaxLength(30);
  edFrom_->setGeometry(16, 32, 116, 22);
  edTo_ = new QLineEdit(this);
  edTo_->setObjectName("edTo");
  edTo_->setMaxLength(30);
  edTo_->setGeometry(156, 32, 116, 22);
  butAdd_ = new QPushButton("Add", this);
  butAdd_->setObjectName("butAdd");
  butAdd_->setGeometry(60, 80, 80, 25);
  butAdd_->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("butCancel");
  cancel->setGeometry(156, 80, 80, 25);
  connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
  connect(butAdd_, &QPushButton::clicked, this, [this] {
    if (add && add(mode_, FromQ(edFrom_->text()), FromQ(edTo_->text()))) hide();
  });
}

void TfrmTagReplaceDlg::ShowFor(const QString& caption, TagDialogMode mode) {
  mode_ = mode;
  setWindowTitle(caption);
  const bool replacement = mode == TagDialogMode::Replacement;
  for (const char* name : {"edTo", "labTo", "labLt2", "labGt2"})
    if (auto* w = findChild<QWidget*>(name)) w->setEnabled(replacement);
  ClearFields();
  show();
  raise();
  activateWindow();
  edFrom_->setFocus();
}

void TfrmTagReplaceDlg::ClearFields() {
  edFrom_->clear();
  edTo_->clear();
}

}  // namespace tersify::ui
