#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/widgets.h"

namespace tersify::ui {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("About");
  setModal(false);
  setFixedSize(300, 170);
  auto* name = MakeLabel(this, "labProgramName", "Tersify", 24, 20, 250);
  QFont f = name->font();
  f.setPointSize(f.pointSize() + 6);
  f.setBold(true);
  name->setFont(f);
  name->setFixedHeight(name->sizeHint().height());
  MakeLabel(this, "labComment", "HTML files optimizer", 24, 56, 250);
  MakeLabel(this, "labVersion", "Version", 24, 88, 80);
  labVersionNumber_ = MakeLabel(this, "labVersionNumber", "2.0", 110, 88, 100);
  MakeBold(labVersionNumber_);
  auto* close = new QPushButton("Close", this);
  close->setObjectName("butClose");
  close->setGeometry(110, 124, 80, 25);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

void TfrmAbout::SetVersion(const QString& version) { labVersionNumber_->setText(version); }
QString TfrmAbout::version() const { return labVersionNumber_->text(); }

}  // namespace tersify::ui
