#include "ui/replace_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify::ui {
namespace {

struct AnswerButton {
  const char* name;
  const char* caption;
  const char* hint;
  OverwriteChoice choice;
  int left, top;
};

// In tab order; the enum's order is the same.
constexpr AnswerButton kButtons[7] = {
    {"butReplace", "Overwrite", "Overwrite upper file with lower", OverwriteChoice::Overwrite, 8, 144},
    {"butReplaceAll", "Overwrite All", "Select \"Overwrite\" automatically", OverwriteChoice::OverwriteAll, 160, 144},
    {"butIgnore", "Skip", "Skip foverwriting", OverwriteChoice::Skip, 8, 176},
    {"butReplaceOld", "Ovewrite All Older", "Overwrite older files", OverwriteChoice::OverwriteAllOlder, 312, 144},
    {"butIgnoreAll", "Skip All", "Select \"Skip\" automatically", OverwriteChoice::SkipAll, 160, 176},
    {"butNewName", "New name", "Save under new name", OverwriteChoice::NewName, 8, 208},
    {"butRename", "Rename", "Rename upper file", OverwriteChoice::Rename, 160, 208},
};

constexpr int kTabOrder[7] = {0, 1, 3, 2, 4, 5, 6};

}  // namespace

TfrmReplaceDlg::TfrmReplaceDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("frmReplaceDlg");
  setWindowTitle("Confirmation");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
  setFixedSize(470, 245);
  setModal(true);

  MakeLabel(this, "Label1", "Overwrite :", 8, 16);
  labToFile_ = MakeLabel(this, "labToFile", "", 80, 16, 380);
  labToFileInfo_ = MakeLabel(this, "labToFileInfo", "", 80, 38, 380);
  label2_ = MakeLabel(this, "Label2", "With file:", 5, 72, 380);
  labFromFile_ = MakeLabel(this, "labFromFile", "", 80, 91, 380);
  labFromFileInfo_ = MakeLabel(this, "labFromFileInfo", "", 80, 110, 380);

  auto* view1 = MakeToolButton(this, "butView1", "View in browser", 8, 32);
  auto* edit1 = MakeToolButton(this, "butEdit1", "Send to external editor", 32, 32);
  auto* view2 = MakeToolButton(this, "butView2", "View in browser", 8, 104);
  auto* edit2 = MakeToolButton(this, "butEdit2", "Send to external editor", 32, 104);
  for (QToolButton* b : {view1, view2}) b->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  for (QToolButton* b : {edit1, edit2}) b->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  connect(view1, &QToolButton::clicked, this, [this] {
    if (viewInBrowser) viewInBrowser(upperPath_);
  });
  connect(view2, &QToolButton::clicked, this, [this] {
    if (viewInBrowser) viewInBrowser(lowerPath_);
  });
  connect(edit1, &QToolButton::clicked, this, [this] {
    if (sendToEditor) sendToEditor(upperPath_);
  });
  connect(edit2, &QToolButton::clicked, this, [this] {
    if (sendToEditor) sendToEditor(lowerPath_);
  });

  for (int i = 0; i < 7; ++i) {
    const AnswerButton& b = kButtons[i];
    auto* button = new QPushButton(b.caption, this);
    button->setObjectName(b.name);
    SetHint(button, b.hint);
    button->setGeometry(b.left, b.top, 145, 25);
    button->setAutoDefault(false);
    OverwriteChoice choice = b.choice;
    connect(button, &QPushButton::clicked, this, [this, choice] { Answer(choice); });
    buttons_[i] = button;
  }
  buttons_[0]->setDefault(true);
  for (int i = 0; i + 1 < 7; ++i) setTabOrder(buttons_[kTabOrder[i]], buttons_[kTabOrder[i + 1]]);
}

QPushButton* TfrmReplaceDlg::button(OverwriteChoice choice) const { return buttons_[static_cast<int>(choice)]; }

void TfrmReplaceDlg::Answer(OverwriteChoice choice) {
  answer_ = choice;
  accept();
}

std::optional<OverwriteChoice> TfrmReplaceDlg::Ask(const OverwriteQuestion& q) {
  Fill(q);
  exec();
  return answer_;
}

void TfrmReplaceDlg::Fill(const OverwriteQuestion& q) {
  upperPath_ = q.upperPath;
  lowerPath_ = q.lowerPath;
  // Long paths lose their middle; the hint holds them whole.
  auto elided = [](QLabel* l, const std::string& path) {
    return l->fontMetrics().elidedText(ToQ(path), Qt::ElideMiddle, l->width());
  };
  labToFile_->setText(elided(labToFile_, q.upperPath));
  SetHint(labToFile_, ToQ(q.upperPath));
  labToFileInfo_->setText(ToQ(q.upperInfo));
  labFromFile_->setText(elided(labFromFile_, q.lowerPath));
  SetHint(labFromFile_, ToQ(q.lowerPath));
  labFromFileInfo_->setText(ToQ(q.lowerInfo));
  label2_->setText(ToQ(q.lowerCaption));
  button(OverwriteChoice::OverwriteAllOlder)->setEnabled(q.olderAllowed);
  answer_.reset();
  buttons_[0]->setFocus();
}

}  // namespace tersify::ui
