#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "i18n/catalogue.h"
#include "ui/text.h"
#include "ui/file_chooser.h"
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

QString WithSeparator(const QString& folder) {
  QString native = QDir::toNativeSeparators(folder);
  if (!native.endsWith(QDir::separator())) native += QDir::separator();
  return native;
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
    if (saveOptions) saveOptions();
    if (refreshPanel) refreshPanel();
    hide();
  });

  edit("edMaxEmbCount")->setEnabled(false);
  ShowSettings();
}

QString TfrmOptions::Text(const char* key) const { return ToQ(s_.catalogue.Text(key)); }

QCheckBox* TfrmOptions::checkBox(const char* name) const { return findChild<QCheckBox*>(name); }
QLineEdit* TfrmOptions::edit(const char* name) const { return findChild<QLineEdit*>(name); }

QCheckBox* TfrmOptions::AddCheck(QWidget* page, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(name);
  checks_[name] = box;
  std::string key = name;
  if (IsModeSensitiveCheckBox(key)) box->installEventFilter(this);
  connect(box, &QCheckBox::toggled, this, [this, key](bool on) { CheckChanged(key, on); });
  return box;
}

QLineEdit* TfrmOptions::AddNumberEdit(QWidget* parent, const char* name) {
  auto* ed = new QLineEdit(parent);
  ed->setObjectName(name);
  ed->setMaximumWidth(60);
  // Digits only; an empty field is allowed and no range is checked.
  ed->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), ed));
  std::string key = name;
  connect(ed, &QLineEdit::textChanged, this, [this, key](const QString& text) {
    if (!showing_) SetOption(s_.settings, key, FromQ(text));
  });
  return ed;
}

QWidget* TfrmOptions::BuildCommonPage() {
  auto* page = new QWidget;
  page->setObjectName("tsCommon");
  auto* outer = new QVBoxLayout(page);
  auto* group = new QGroupBox(" Common options ", page);
  group->setObjectName("gbCommon");
  auto* v = new QVBoxLayout(group);
  v->addWidget(AddCheck(group, "cbDelKav", "Remove unnecessary quotes    ...=\"50\"  "));
  v->addWidget(Indented(AddCheck(group, "cbDelEmptyPar", "remove empty params   alt=\"\"")));
  v->addWidget(AddCheck(group, "cbDelEmptyLine", "Remove empty lines"));
  v->addWidget(Indented(AddCheck(group, "cbDelCRLF", "remove all CR+LF chains    ( \"gluing\" )")));
  v->addWidget(AddCheck(group, "cbReplaceDoubleSpaces", "Replace superfluous space chains with one space     ___ => _"));
  v->addWidget(Indented(AddCheck(group, "cbReplaceDoubleSpacesInKav", "including values of params   ...=\"...__...\"")));
  v->addWidget(AddCheck(group, "cbReplaceDoubleNbsp",
                        "Replace superfluous &&nbsp; chains with single &&nbsp;    &&nbsp;&&nbsp; => &&nbsp;"));
  v->addWidget(Indented(AddCheck(group, "cbReplaceDoubleNbspInKav", "including values of params   ...=\"...&&nbsp;...\"")));
  v->addWidget(AddCheck(group, "cbDelTabLine", "Remove lines, which consist tabs ( key code #9 ) and spaces only"));
  v->addWidget(AddCheck(group, "cbDelAllTabs", "Remove all tabs ( key code #9 )"));
  v->addWidget(AddCheck(group, "cbDelBegEndSpace", "Trim lines ( remove spaces at the beginning and ends of lines )"));
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
  v->addWidget(AddCheck(group, "cbDelComments", "Remove comments  ( <!-- --> )"));
  auto* labIsTags = new QLabel("Do not remove if comment consists one of the tags:", group);
  labIsTags->setObjectName("labIsTags");
  v->addWidget(Indented(labIsTags));
  v->addWidget(Indented(AddCheck(group, "cbIsStyle", "<style> and </style>")));
  v->addWidget(Indented(AddCheck(group, "cbIsScript", "<script> and </script>")));
  v->addWidget(Indented(AddCheck(group, "cbOuttag", "the first outside tag is <style> or <script ... >")));
  auto* never = new QCheckBox("Text inside scripts is not optimized", group);
  never->setObjectName("cbScriptsUntouched");
  never->setChecked(true);
  never->setEnabled(false);
  v->addWidget(never);
  v->addWidget(AddCheck(group, "cbDelScripts", "Remove all scripts from the files"));
  v->addWidget(AddCheck(group, "cbDelScriptsMax", "Remove all scripts from the files in \"Max  optimization\" mode"));
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
    if (sortReplacement) sortReplacement(column);
    ShowTagTables();
  });
  connect(listReplace_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (showing_) return;
    int row = listReplace_->indexOfTopLevelItem(item);
    if (row >= 0 && row < static_cast<int>(s_.replacement.size()))
      s_.replacement[row].ticked = item->checkState(0) == Qt::Checked;
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
  rv->addWidget(AddCheck(rep, "cbClosedTagsAlso", "Treat closing tags"));
  connect(addRep, &QPushButton::clicked, this, [this] { if (addTag) addTag(true); });
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
    if (row >= 0 && row < static_cast<int>(s_.removal.size()))
      s_.removal[row].ticked = item->checkState(0) == Qt::Checked;
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
  connect(addDel, &QPushButton::clicked, this, [this] { if (addTag) addTag(false); });
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
  auto* row1 = new QHBoxLayout;
  row1->addWidget(AddCheck(page, "cbMaxFCount", "By files count ( not bigger than )"));
  row1->addWidget(AddNumberEdit(page, "edMaxFCount"));
  row1->addStretch(1);
  v->addLayout(row1);
  v->addWidget(AddCheck(page, "cbProcessEmbeded", "Treat embeded folders"));
  auto* row2 = new QHBoxLayout;
  row2->setContentsMargins(24, 0, 0, 0);
  row2->addWidget(AddCheck(page, "cbMaxEmbCount", "Max level of embed folders"));
  row2->addWidget(AddNumberEdit(page, "edMaxEmbCount"));
  row2->addStretch(1);
  v->addLayout(row2);

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
  v->addWidget(Indented(AddCheck(page, "cbSaveBefMod", "Make backup copy of the files before optimization to the folder:")));
  auto* row4 = new QHBoxLayout;
  row4->setContentsMargins(24, 0, 0, 0);
  auto* edBack = new QLineEdit(page);
  edBack->setObjectName("edBackUpPath");
  edBack->setReadOnly(true);
  row4->addWidget(edBack);
  auto* butBack = ChooserButton(page, "butBackUpPath", "Select folder");
  row4->addWidget(butBack);
  v->addLayout(row4);
  v->addWidget(AddCheck(page, "cbSaveNopen", "Save filelist during quit and load during starting of Tersify"));
  v->addStretch(1);

  connect(butOpt, &QToolButton::clicked, this, [this] { ChooseFolder("edOptimizedPath"); });
  connect(butBack, &QToolButton::clicked, this, [this] { ChooseFolder("edBackUpPath"); });
  auto modeClicked = [this] {
    s_.settings.radModifyOld = radModifyOld_->isChecked();
    UpdateSaveModeControls();
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
  v->addWidget(Indented(AddCheck(page, "cbShowConf", "actions confirmations")));
  v->addWidget(Indented(AddCheck(page, "cbShowInfo", "warning and information messages")));
  v->addWidget(Indented(AddCheck(page, "cbShowEnd", "actions finishing messages ( optimization, restoration, etc. )")));
  v->addWidget(Indented(AddCheck(page, "cbShowOptWin", "optimization process and results window")));

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
      if (!showing_) SetOption(s_.settings, key, FromQ(text));
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
  edit("edLan")->setReadOnly(true);
  v->addStretch(1);

  connect(findChild<QToolButton*>("butExtEditor"), &QToolButton::clicked, this,
          [this] { ChooseExecutable("edExtEditor"); });
  connect(findChild<QToolButton*>("butBrowser"), &QToolButton::clicked, this,
          [this] { ChooseExecutable("edBrowser"); });
  connect(findChild<QToolButton*>("butLan"), &QToolButton::clicked, this, &TfrmOptions::ChooseLanguageFile);
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
  comboMode_->setCurrentIndex(s_.settings.comboMode);
  for (auto& [name, box] : checks_) {
    auto value = GetOption(s_.settings, name);
    bool on = value && *value == "1";
    if (box->isChecked() != on) box->setChecked(on);  // toggled runs the enabling rule
  }
  for (const char* name : {"edMaxFCount", "edMaxEmbCount", "edOptimizedPath", "edBackUpPath", "edExtEditor",
                           "edBrowser", "edLan"}) {
    auto value = GetOption(s_.settings, name);
    edit(name)->setText(ToQ(value.value_or("")));
  }
  (s_.settings.radModifyOld ? radModifyOld_ : radSaveNewMod_)->setChecked(true);
  showing_ = false;
  UpdateSaveModeControls();
  ShowTagTables();
}

void TfrmOptions::ShowTagTables() {
  showing_ = true;
  listReplace_->clear();
  for (const auto& e : s_.replacement) {
    auto* item = new QTreeWidgetItem(listReplace_, {ToQ(e.from), ToQ(e.to)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, e.ticked ? Qt::Checked : Qt::Unchecked);
  }
  listRemove_->clear();
  for (const auto& e : s_.removal) {
    auto* item = new QTreeWidgetItem(listRemove_, {ToQ(e.tag)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, e.ticked ? Qt::Checked : Qt::Unchecked);
  }
  showing_ = false;
}

void TfrmOptions::CheckChanged(const std::string& name, bool value) {
  SetOption(s_.settings, name, value ? "1" : "0");
  ApplyEnablingRule(name, value);
}

void TfrmOptions::ApplyEnablingRule(const std::string& name, bool on) {
  auto enable = [this](const char* child) {
    return [this, child](bool e) {
      if (auto* w = findChild<QWidget*>(child)) w->setEnabled(e);
    };
  };
  if (name == "cbDelKav") enable("cbDelEmptyPar")(on);
  else if (name == "cbDelEmptyLine") enable("cbDelCRLF")(on);
  else if (name == "cbReplaceDoubleSpaces") enable("cbReplaceDoubleSpacesInKav")(on);
  else if (name == "cbReplaceDoubleNbsp") enable("cbReplaceDoubleNbspInKav")(on);
  else if (name == "cbDelComments") {
    for (const char* c : {"labIsTags", "cbIsScript", "cbIsStyle", "cbOuttag"}) enable(c)(on);
  } else if (name == "cbProcessEmbeded") {
    enable("cbMaxEmbCount")(on);
    enable("edMaxEmbCount")(on);
  } else if (name == "cbMaxEmbCount") enable("edMaxEmbCount")(on);
  else if (name == "cbMaxFCount") enable("edMaxFCount")(on);
}

void TfrmOptions::UpdateSaveModeControls() {
  bool m = s_.settings.radModifyOld;
  if (radModifyOld_->isChecked() != m) (m ? radModifyOld_ : radSaveNewMod_)->setChecked(true);
  for (const char* c : {"cbSaveBefMod", "edBackUpPath", "butBackUpPath"}) findChild<QWidget*>(c)->setEnabled(m);
  for (const char* c : {"edOptimizedPath", "butOptimizedPath", "labOptimizedPath"})
    findChild<QWidget*>(c)->setEnabled(!m);
  if (saveModeChanged) saveModeChanged(m);
}

void TfrmOptions::ModeChosen(int mode) {
  s_.settings.comboMode = mode;
  ApplyModePreset(s_.settings, mode);
  ShowSettings();
}

bool TfrmOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    auto* box = qobject_cast<QCheckBox*>(watched);
    if (box && box->isEnabled() && OnCheckBoxMousePress(s_.settings, box->objectName().toStdString()))
      comboMode_->setCurrentIndex(s_.settings.comboMode);
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmOptions::ChooseFolder(const char* field) {
  auto folder = s_.chooser.ChooseFolder(this, QString());
  if (folder) {
    QString path = WithSeparator(*folder);
    SetOption(s_.settings, field, FromQ(path));
    edit(field)->setText(path);
  }
  raise();
  activateWindow();
  ValidateOptions();
}

void TfrmOptions::ChooseExecutable(const char* field) {
  QStringList files = s_.chooser.OpenFiles(this, QString(), Text("const_exe_fil"), false);
  // Cancelling empties the field.
  QString result = files.isEmpty() ? QString() : QDir::toNativeSeparators(files.first()).toLower();
  SetOption(s_.settings, field, FromQ(result));
  showing_ = true;
  edit(field)->setText(result);
  showing_ = false;
}

void TfrmOptions::ChooseLanguageFile() {
  QStringList files = s_.chooser.OpenFiles(this, QString(), Text("const_lng_fil"), false);
  if (files.isEmpty()) return;
  QString path = QDir::toNativeSeparators(files.first()).toLower();
  s_.settings.edLan = FromQ(path);
  edit("edLan")->setText(path);
  if (applyLanguage) applyLanguage();
}

void TfrmOptions::SelectEnglish() {
  s_.settings.edLan.clear();
  edit("edLan")->clear();
  if (applyLanguage) applyLanguage();
  if (saveOptions) saveOptions();
}

void TfrmOptions::ValidateOptions() {
  std::string& out = s_.settings.edOptimizedPath;
  const char sep = QDir::separator().toLatin1();
  if (out.empty() || out.back() != sep) out.push_back(sep);
  showing_ = true;
  edit("edOptimizedPath")->setText(ToQ(out));
  showing_ = false;
  if (!QFileInfo(ToQ(out)).isDir())
    ShowMessageBox(s_.user, s_.catalogue.Text("const_optf_error"), MessageKind::Warning);
  QFileInfo editor(ToQ(s_.settings.edExtEditor));
  if (s_.settings.edExtEditor.empty() || !editor.isFile())
    ShowMessageBox(s_.user, s_.catalogue.Text("const_ext_error"), MessageKind::Warning);
}

void TfrmOptions::RemoveReplacementEntry() {
  int row = listReplace_->indexOfTopLevelItem(listReplace_->currentItem());
  if (row < 0 || row >= static_cast<int>(s_.replacement.size())) return;
  const auto& e = s_.replacement[row];
  std::string text = FillPlaceholders(s_.catalogue.Text("const_rep_conf"),
                                      {FromQ(ToQ(e.from).toUpper()), FromQ(ToQ(e.to).toUpper())});
  if (s_.user.Question(text, MessageKind::Confirmation, QuestionButtons::YesNo) != Answer::Yes) return;
  s_.replacement.erase(s_.replacement.begin() + row);
  ShowTagTables();
}

void TfrmOptions::RemoveRemovalEntry() {
  int row = listRemove_->indexOfTopLevelItem(listRemove_->currentItem());
  if (row < 0 || row >= static_cast<int>(s_.removal.size())) return;
  std::string text = FillPlaceholders(s_.catalogue.Text("const_del_conf"),
                                      {FromQ(ToQ(s_.removal[row].tag).toUpper())});
  if (s_.user.Question(text, MessageKind::Confirmation, QuestionButtons::YesNo) != Answer::Yes) return;
  s_.removal.erase(s_.removal.begin() + row);
  ShowTagTables();
}

}  // namespace tersify::ui
