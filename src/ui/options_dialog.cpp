#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "i18n/catalogue.h"
#include "settings/option_table.h"
#include "ui/file_chooser.h"
#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify::ui {
namespace {

QToolButton* ChooserButton(QWidget* parent, const char* name, const QString& hint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText("...");
  SetHint(b, hint);
  return b;
}

QWidget* Indented(QWidget* w) {
  auto* box = new QWidget;
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(24, 0, 0, 0);
  row->addWidget(w);
  return box;
}

// A box that another box's rule enables sits indented under it.
bool IsEnabledByAnotherBox(std::string_view key) {
  for (const auto& row : kOptionTable)
    if (std::ranges::find(row.enables, key) != row.enables.end()) return true;
  return false;
}

// The count edit that a box alone enables stands beside it.
std::string_view EditBeside(const OptionRow& row) {
  if (row.enables[0].empty() || !row.enables[1].empty()) return {};
  const OptionRow* edit = FindOption(row.enables[0]);
  return edit && edit->type() == OptionType::Text ? edit->key : std::string_view();
}

}  // namespace

TfrmOptions::TfrmOptions(Services services, QWidget* parent) : QDialog(parent), s_(services) {
  setObjectName("frmOptions");
  setWindowTitle("Options");
  setModal(false);
  resize(560, 460);

  auto* top = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("pcOptions");
  // All five tabs show in full in every language: no scroll arrows, no cut
  // captions; the dialog is as wide as its tabs need.
  pages_->setUsesScrollButtons(false);
  pages_->setElideMode(Qt::ElideNone);
  pages_->addTab(BuildCommonPage(), "Common ");
  pages_->addTab(BuildCommentsPage(), "Comments && Scripts");
  pages_->addTab(BuildTagsPage(), "Tags treatment");
  pages_->addTab(BuildFilesPage(), "Files treatment");
  pages_->addTab(BuildMiscPage(), " Miscellaneous");
  top->addWidget(pages_);

  auto* bottom = new QHBoxLayout;
  auto* labMode = new QLabel("Mode", this);
  labMode->setObjectName("labMode");
  comboMode_ = new QComboBox(this);
  comboMode_->setObjectName("comboMode");
  comboMode_->addItems({"Normal optimization", "Max optimization", "Users' settings"});
  SetHint(comboMode_, "Set options according to optimization mode");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("butClose");
  SetHint(close, "Save options and close window");
  close->setAutoDefault(false);
  bottom->addWidget(labMode);
  bottom->addWidget(comboMode_, 1);
  bottom->addStretch(1);
  bottom->addWidget(close);
  top->addLayout(bottom);

  // Only a choice by the user applies a preset; the program sets the index silently.
  connect(comboMode_, &QComboBox::activated, this, &TfrmOptions::ModeChosen);
  connect(close, &QPushButton::clicked, this, [this] {
    s_.model.Close();
    if (refreshPanel) refreshPanel();
    hide();
  });

  ShowSettings();
}

QString TfrmOptions::Text(const char* key) const { return ToQ(s_.catalogue.Text(key)); }

QCheckBox* TfrmOptions::checkBox(const char* name) const { return findChild<QCheckBox*>(name); }
QLineEdit* TfrmOptions::edit(const char* name) const { return findChild<QLineEdit*>(name); }

QCheckBox* TfrmOptions::AddCheck(QWidget* page, const OptionRow& row) {
  auto* box = new QCheckBox(ToQ(row.caption), page);
  box->setObjectName(ToQ(row.key));
  std::string key(row.key);
  checks_[key] = box;
  box->installEventFilter(this);
  // Only the user's clicks count; the program sets the boxes with signals blocked.
  connect(box, &QCheckBox::clicked, this, [this, key](bool on) {
    s_.model.SetCheckBox(key, on);
    ShowEnabling();
  });
  return box;
}

QLineEdit* TfrmOptions::AddNumberEdit(QWidget* parent, std::string_view name) {
  auto* ed = new QLineEdit(parent);
  ed->setObjectName(ToQ(name));
  ed->setMaximumWidth(60);
  // Typed keys pass the count filter; pasted text must be digits too.
  ed->installEventFilter(this);
  ed->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), ed));
  countEdits_.push_back(ed);
  std::string key(name);
  connect(ed, &QLineEdit::textChanged, this, [this, key](const QString& text) {
    if (!showing_) SetOption(settings(), key, FromQ(text));
  });
  return ed;
}

void TfrmOptions::AddCheckBoxes(QWidget* parent, QVBoxLayout* v, OptionGroup group, bool indentAll) {
  std::vector<const OptionRow*> rows;
  for (const auto& row : kOptionTable)
    if (row.group == group && !row.caption.empty()) rows.push_back(&row);
  std::ranges::sort(rows, {}, &OptionRow::rank);
  for (const OptionRow* row : rows) {
    QCheckBox* box = AddCheck(parent, *row);
    const bool indented = indentAll || IsEnabledByAnotherBox(row->key);
    const std::string_view edit = EditBeside(*row);
    if (edit.empty()) {
      v->addWidget(indented ? Indented(box) : box);
      continue;
    }
    auto* line = new QHBoxLayout;
    if (indented) line->setContentsMargins(24, 0, 0, 0);
    line->addWidget(box);
    line->addWidget(AddNumberEdit(parent, edit));
    line->addStretch(1);
    v->addLayout(line);
  }
}

QWidget* TfrmOptions::BuildCommonPage() {
  auto* page = new QWidget;
  page->setObjectName("tsCommon");
  auto* outer = new QVBoxLayout(page);
  auto* group = new QGroupBox(" Common options ", page);
  group->setObjectName("gbCommon");
  auto* v = new QVBoxLayout(group);
  AddCheckBoxes(group, v, OptionGroup::Common);
  v->addStretch(1);
  outer->addWidget(group);
  return page;
}

QWidget* TfrmOptions::BuildCommentsPage() {
  auto* page = new QWidget;
  page->setObjectName("tsComments");
  auto* outer = new QVBoxLayout(page);
  auto* group = new QGroupBox("Comments and Scripts treatment ", page);
  group->setObjectName("gbComments");
  auto* v = new QVBoxLayout(group);
  AddCheckBoxes(group, v, OptionGroup::Comments);
  auto* labCommentTags = new QLabel("Do not remove if comment consists one of the tags:", group);
  labCommentTags->setObjectName("labCommentTags");
  v->addWidget(Indented(labCommentTags));
  AddCheckBoxes(group, v, OptionGroup::CommentTags);
  auto* never = new QCheckBox("Text inside scripts is not optimized", group);
  never->setObjectName("cbScriptsKept");
  never->setChecked(true);
  never->setEnabled(false);
  v->addWidget(never);
  AddCheckBoxes(group, v, OptionGroup::Scripts);
  v->addStretch(1);
  outer->addWidget(group);
  return page;
}

QWidget* TfrmOptions::BuildTagsPage() {
  auto* page = new QWidget;
  page->setObjectName("tsTags");
  auto* outer = new QHBoxLayout(page);

  auto* rep = new QGroupBox(" Tags replacement ", page);
  rep->setObjectName("gbReplace");
  auto* rv = new QVBoxLayout(rep);
  listReplace_ = new QTreeWidget(rep);
  listReplace_->setObjectName("listReplace");
  listReplace_->setColumnCount(2);
  listReplace_->setHeaderLabels({"From tag", "To tag"});
  listReplace_->setRootIsDecorated(false);
  listReplace_->header()->setSectionsClickable(true);
  connect(listReplace_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    s_.model.SortReplacement(column == 0 ? ReplacementSortColumn::From : ReplacementSortColumn::To);
    ShowTagTables();
  });
  connect(listReplace_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (showing_) return;
    int row = listReplace_->indexOfTopLevelItem(item);
    auto& table = s_.model.tables().replacement;
    if (row >= 0 && row < static_cast<int>(table.size())) table[row].ticked = item->checkState(0) == Qt::Checked;
  });
  rv->addWidget(listReplace_);
  auto* rb = new QHBoxLayout;
  auto* addRep = new QPushButton("+", rep);
  addRep->setObjectName("butAddReplace");
  SetHint(addRep, "Add in the list");
  auto* delRep = new QPushButton("-", rep);
  delRep->setObjectName("butDelReplace");
  SetHint(delRep, "Remove from the list");
  rb->addWidget(addRep);
  rb->addWidget(delRep);
  rb->addStretch(1);
  rv->addLayout(rb);
  AddCheckBoxes(rep, rv, OptionGroup::TagReplacement);
  connect(addRep, &QPushButton::clicked, this, [this] {
    if (addTag) addTag(true);
  });
  connect(delRep, &QPushButton::clicked, this, &TfrmOptions::RemoveReplacementEntry);

  auto* del = new QGroupBox(" Tags removal ", page);
  del->setObjectName("gbRemove");
  auto* dv = new QVBoxLayout(del);
  listRemove_ = new QTreeWidget(del);
  listRemove_->setObjectName("listRemove");
  listRemove_->setColumnCount(1);
  listRemove_->setHeaderHidden(true);
  listRemove_->setRootIsDecorated(false);
  connect(listRemove_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (showing_) return;
    int row = listRemove_->indexOfTopLevelItem(item);
    auto& table = s_.model.tables().removal;
    if (row >= 0 && row < static_cast<int>(table.size())) table[row].ticked = item->checkState(0) == Qt::Checked;
  });
  dv->addWidget(listRemove_);
  auto* db = new QHBoxLayout;
  auto* addDel = new QPushButton("+", del);
  addDel->setObjectName("butAddRemove");
  SetHint(addDel, "Add in the list");
  auto* delDel = new QPushButton("-", del);
  delDel->setObjectName("butDelRemove");
  SetHint(delDel, "Remove from the list");
  db->addWidget(addDel);
  db->addWidget(delDel);
  db->addStretch(1);
  dv->addLayout(db);
  connect(addDel, &QPushButton::clicked, this, [this] {
    if (addTag) addTag(false);
  });
  connect(delDel, &QPushButton::clicked, this, &TfrmOptions::RemoveRemovalEntry);

  outer->addWidget(rep, 3);
  outer->addWidget(del, 2);
  return page;
}

QWidget* TfrmOptions::BuildFilesPage() {
  auto* page = new QWidget;
  page->setObjectName("tsFiles");
  auto* v = new QVBoxLayout(page);
  auto* heading = new QLabel("Files restriction during adding to files panel", page);
  heading->setObjectName("labRestriction");
  v->addWidget(heading);
  AddCheckBoxes(page, v, OptionGroup::FileCount);
  AddCheckBoxes(page, v, OptionGroup::Folders);

  radSaveNewMod_ = new QRadioButton("Leave source files unchanged    ( Recommended )", page);
  radSaveNewMod_->setObjectName("cbSaveNewMod");
  v->addWidget(radSaveNewMod_);
  auto* labOpt = new QLabel("Save optimized copies of the files to the folder:", page);
  labOpt->setObjectName("labOptimizedPath");
  v->addWidget(Indented(labOpt));
  auto* row3 = new QHBoxLayout;
  row3->setContentsMargins(24, 0, 0, 0);
  auto* edOpt = new QLineEdit(page);
  edOpt->setObjectName("edOptimizedPath");
  edOpt->setReadOnly(true);
  row3->addWidget(edOpt);
  auto* butOpt = ChooserButton(page, "butOptimizedPath", "Select folder");
  row3->addWidget(butOpt);
  v->addLayout(row3);

  radModifyOld_ = new QRadioButton("Modify source files", page);
  radModifyOld_->setObjectName("radModifyOld");
  v->addWidget(radModifyOld_);
  AddCheckBoxes(page, v, OptionGroup::Backup);
  auto* row4 = new QHBoxLayout;
  row4->setContentsMargins(24, 0, 0, 0);
  auto* edBack = new QLineEdit(page);
  edBack->setObjectName("edBackUpPath");
  edBack->setReadOnly(true);
  row4->addWidget(edBack);
  auto* butBack = ChooserButton(page, "butBackUpPath", "Select folder");
  row4->addWidget(butBack);
  v->addLayout(row4);
  AddCheckBoxes(page, v, OptionGroup::FileList);
  v->addStretch(1);

  connect(butOpt, &QToolButton::clicked, this, [this] { ChooseFolder("edOptimizedPath"); });
  connect(butBack, &QToolButton::clicked, this, [this] { ChooseFolder("edBackUpPath"); });
  auto modeClicked = [this] {
    s_.model.SetSaveMode(radModifyOld_->isChecked());
    ShowEnabling();
  };
  connect(radSaveNewMod_, &QRadioButton::clicked, this, modeClicked);
  connect(radModifyOld_, &QRadioButton::clicked, this, modeClicked);
  return page;
}

QWidget* TfrmOptions::BuildMiscPage() {
  auto* page = new QWidget;
  page->setObjectName("tsMisc");
  auto* v = new QVBoxLayout(page);
  auto* labShow = new QLabel("Show:", page);
  labShow->setObjectName("labShow");
  v->addWidget(labShow);
  AddCheckBoxes(page, v, OptionGroup::Show, /*indentAll=*/true);

  auto fileRow = [&](const char* labName, const char* caption, const char* edName, const char* butName) {
    auto* lab = new QLabel(caption, page);
    lab->setObjectName(labName);
    v->addWidget(lab);
    auto* row = new QHBoxLayout;
    auto* ed = new QLineEdit(page);
    ed->setObjectName(edName);
    row->addWidget(ed);
    auto* but = ChooserButton(page, butName, "Select file");
    row->addWidget(but);
    v->addLayout(row);
    std::string key = edName;
    connect(ed, &QLineEdit::textChanged, this, [this, key](const QString& text) {
      if (!showing_) SetOption(settings(), key, FromQ(text));
    });
    return row;
  };
  fileRow("labExtEditor", "External Editor", "edExtEditor", "butExtEditor");
  fileRow("labBrowser", "Browser", "edBrowser", "butBrowser");
  auto* lanRow = fileRow("labLan", "Language file", "edLan", "butLan");
  auto* english = new QToolButton(page);
  english->setObjectName("butEnglish");
  english->setText("En");
  SetHint(english, "Select English as Default language");
  lanRow->addWidget(english);
  page->findChild<QLineEdit*>("edLan")->setReadOnly(true);
  v->addStretch(1);

  connect(page->findChild<QToolButton*>("butExtEditor"), &QToolButton::clicked, this,
          [this] { ChooseExecutable("edExtEditor"); });
  connect(page->findChild<QToolButton*>("butBrowser"), &QToolButton::clicked, this,
          [this] { ChooseExecutable("edBrowser"); });
  connect(page->findChild<QToolButton*>("butLan"), &QToolButton::clicked, this, &TfrmOptions::ChooseLanguageFile);
  connect(english, &QToolButton::clicked, this, &TfrmOptions::SelectEnglish);
  return page;
}

void TfrmOptions::ShowPage(int page) {
  pages_->setCurrentIndex(page);
  show();
  raise();
  activateWindow();
}

void TfrmOptions::ShowSettings() {
  showing_ = true;
  OptimizationSettings& st = settings();
  comboMode_->setCurrentIndex(st.comboMode);
  for (auto& [name, box] : checks_) {
    auto value = GetOption(st, name);
    QSignalBlocker block(box);
    box->setChecked(value && *value == "1");
  }
  for (const auto& row : kOptionTable) {
    if (row.type() != OptionType::Text) continue;
    auto* ed = findChild<QLineEdit*>(ToQ(row.key));
    QString text = ToQ(*GetOption(st, row.key));
    if (ed->text() != text) ed->setText(text);
  }
  (st.radModifyOld ? radModifyOld_ : radSaveNewMod_)->setChecked(true);
  showing_ = false;
  ShowEnabling();
  ShowTagTables();
}

void TfrmOptions::ShowEnabling() {
  for (const auto& [name, enabled] : s_.model.enabling().states()) {
    if (auto* w = findChild<QWidget*>(ToQ(name))) {
      w->setEnabled(enabled);
    } else if (enableOutside) {
      enableOutside(name, enabled);
    }
  }
}

void TfrmOptions::ShowTagTables() {
  showing_ = true;
  listReplace_->clear();
  for (const auto& e : s_.model.tables().replacement) {
    auto* item = new QTreeWidgetItem(listReplace_, {ToQ(e.from), ToQ(e.to)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, e.ticked ? Qt::Checked : Qt::Unchecked);
  }
  listRemove_->clear();
  for (const auto& e : s_.model.tables().removal) {
    auto* item = new QTreeWidgetItem(listRemove_, {ToQ(e.tag)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, e.ticked ? Qt::Checked : Qt::Unchecked);
  }
  showing_ = false;
}

void TfrmOptions::ModeChosen(int mode) {
  s_.model.ChooseMode(mode);
  ShowSettings();
}

bool TfrmOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    auto* box = qobject_cast<QCheckBox*>(watched);
    if (box && box->isEnabled() && s_.model.MousePress(FromQ(box->objectName())))
      comboMode_->setCurrentIndex(settings().comboMode);
  } else if (event->type() == QEvent::KeyPress) {
    auto* ed = qobject_cast<QLineEdit*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (ed && std::find(countEdits_.begin(), countEdits_.end(), ed) != countEdits_.end() && !key->text().isEmpty()) {
      int code = key->text().at(0).unicode();
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) code = 13;
      if (key->key() == Qt::Key_Backspace) code = 8;
      if (!AcceptsCountKey(code)) return true;  // rejected, not inserted
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmOptions::ChooseFolder(const char* field) {
  auto folder = s_.chooser.ChooseFolder(this, QString());
  std::optional<std::string> picked;
  if (folder) picked = FromQ(QDir::toNativeSeparators(*folder));
  raise();
  activateWindow();
  s_.model.FolderChosen(std::string_view(field) == "edBackUpPath" ? FolderField::BackUp : FolderField::Optimized,
                        picked);
  ShowSettings();
}

void TfrmOptions::ChooseExecutable(const char* field) {
  QStringList files = s_.chooser.OpenFiles(this, QString(), Text("const_exe_fil"), false);
  std::optional<std::string> picked;
  if (!files.isEmpty()) picked = FromQ(QDir::toNativeSeparators(files.first()));
  s_.model.ExecutableChosen(
      std::string_view(field) == "edBrowser" ? ExecutableField::Browser : ExecutableField::ExtEditor, picked);
  ShowSettings();
}

void TfrmOptions::ChooseLanguageFile() {
  QStringList files = s_.chooser.OpenFiles(this, QString(), Text("const_lng_fil"), false, languageFolder);
  std::optional<std::string> picked;
  if (!files.isEmpty()) picked = FromQ(QDir::toNativeSeparators(files.first()));
  s_.model.LanguageFileChosen(picked, [this] {
    if (applyLanguage) applyLanguage();
  });
  ShowSettings();
}

void TfrmOptions::SelectEnglish() {
  s_.model.EnglishChosen([this] {
    if (applyLanguage) applyLanguage();
  });
  ShowSettings();
}

void TfrmOptions::RemoveReplacementEntry() {
  int row = listReplace_->indexOfTopLevelItem(listReplace_->currentItem());
  std::optional<std::size_t> selected;
  if (row >= 0) selected = static_cast<std::size_t>(row);
  if (s_.model.RemoveReplacement(selected)) ShowTagTables();
}

void TfrmOptions::RemoveRemovalEntry() {
  int row = listRemove_->indexOfTopLevelItem(listRemove_->currentItem());
  std::optional<std::size_t> selected;
  if (row >= 0) selected = static_cast<std::size_t>(row);
  if (s_.model.RemoveRemoval(selected)) ShowTagTables();
}

}  // namespace tersify::ui
