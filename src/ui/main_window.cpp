#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/translatable.h"
#include "ui/widgets.h"

namespace tersify::ui {
namespace {

template <typename Id>
struct Named {
  Id id;
  const char* name;
};

constexpr Named<MainButton> kButtonNames[] = {
    {MainButton::Files, "butFiles"},
    {MainButton::Path, "butPath"},
    {MainButton::Optimize, "butOptimize"},
    {MainButton::BackUp, "butBackUp"},
    {MainButton::View, "butView"},
    {MainButton::Options, "butOptions"},
    {MainButton::Help, "butHelp"},
    {MainButton::Quit, "butQuit"},
    {MainButton::ViewUnZipped, "butViewUnZipped"},
    {MainButton::ViewZipped, "butViewZipped"},
    {MainButton::SendToEdit, "butSendToEdit"},
    {MainButton::SaveFile, "butSaveFile"},
};

constexpr Named<MainItem> kItemNames[] = {
    {MainItem::SelectAll, "menuSelectAll"},
    {MainItem::InvertSelection, "menuInvertSelection"},
    {MainItem::RemoveSelection, "menuRemoveSelection"},
    {MainItem::ClearPanel, "menuClearPanel"},
    {MainItem::ClearUnchecked, "menuClearUnchecked"},
    {MainItem::AddFile, "menuAddFile"},
    {MainItem::RemoveFile, "menuRemoveFile"},
    {MainItem::SaveList, "menuSaveList"},
    {MainItem::LoadList, "menuLoadList"},
    {MainItem::Sort1, "sort1"},
    {MainItem::Sort2, "sort2"},
    {MainItem::Sort3, "sort3"},
    {MainItem::Sort4, "sort4"},
    {MainItem::Sort5, "sort5"},
    {MainItem::Sort6, "sort6"},
    {MainItem::Refresh, "menuRefresh"},
    {MainItem::SelectFiles, "menuSelectFiles"},
    {MainItem::SelectFolder, "menuSelectFolder"},
    {MainItem::Optimize, "menuOptimize"},
    {MainItem::OptimizationOptions, "menuOptimizationOptions"},
    {MainItem::ProgramSettings, "menuProgramSettings"},
    {MainItem::Content, "menuContent"},
    {MainItem::About, "menuAbout"},
    {MainItem::BackUpLast, "menuBackUpLast"},
    {MainItem::BackUpChecked, "menuBackUpChecked"},
    {MainItem::UnpackedFile, "menuUnpackedFile"},
    {MainItem::PackedFile, "menuPackedFile"},
    {MainItem::HelpContent, "menuHelpContent"},
    {MainItem::HelpAbout, "menuHelpAbout"},
};

// Each table holds every value of its enum once, at the value's index.
template <typename Id, std::size_t N>
constexpr bool AtTheirIndexes(const Named<Id> (&table)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(table[i].id) != i) return false;
  return true;
}
static_assert(std::size(kButtonNames) == kMainButtonCount && AtTheirIndexes(kButtonNames) &&
              static_cast<std::size_t>(MainButton::SaveFile) + 1 == kMainButtonCount);
static_assert(std::size(kItemNames) == kMainItemCount && AtTheirIndexes(kItemNames) &&
              static_cast<std::size_t>(MainItem::HelpAbout) + 1 == kMainItemCount);

struct ToolButtonSpec {
  MainButton id;
  const char* caption;
  const char* hint;
  QStyle::StandardPixmap icon;
};

constexpr ToolButtonSpec kToolButtons[] = {
    {MainButton::Files, "Files", "Select files for optimization", QStyle::SP_FileIcon},
    {MainButton::Path, "Folder", "Select files for optimization from the folder", QStyle::SP_DirIcon},
    {MainButton::Optimize, "Optimize!", "Optimize selected files", QStyle::SP_MediaPlay},
    {MainButton::BackUp, "Restore     ", "Cancel optimization", QStyle::SP_BrowserReload},
    {MainButton::View, "View     ", "View file in the browser", QStyle::SP_FileDialogContentsView},
    {MainButton::Options, "Options", "Optimization and program options", QStyle::SP_FileDialogDetailedView},
    {MainButton::Help, "Help   ", "Help information", QStyle::SP_DialogHelpButton},
    {MainButton::Quit, "Quit", "Quit from the program", QStyle::SP_DialogCloseButton},
};

constexpr const char* kColumns[6] = {"Filename", "Path", "Date", "Size  [bytes]", "Packed  [bytes]", "Ratio"};
constexpr int kColumnWidths[6] = {180, 150, 120, 110, 110, 100};

// The toolbar's fixed part; the stretching gap takes the rest of the width.
constexpr int kFixedToolbarWidth = 605;

}  // namespace

const char* ObjectName(MainButton button) { return kButtonNames[static_cast<std::size_t>(button)].name; }
const char* ObjectName(MainItem item) { return kItemNames[static_cast<std::size_t>(item)].name; }

std::optional<MainItem> MainItemNamed(std::string_view name) {
  for (const auto& item : kItemNames)
    if (name == item.name) return item.id;
  return std::nullopt;
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Tersify");
  resize(798, 570);
  FitScreen();
  setAcceptDrops(true);

  auto* central = new QWidget(this);
  central->setObjectName("panMain");
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* console = new QWidget(central);
  console->setObjectName("panConsole");
  BuildToolbar(console);
  v->addWidget(console);
  auto* strip = new QWidget(central);
  strip->setObjectName("panStrip");
  strip->setFixedHeight(15);
  v->addWidget(strip);

  splitter_ = new QSplitter(Qt::Vertical, central);
  splitter_->setObjectName("splitter");
  listFiles_ = new QTableWidget(0, 6, splitter_);
  listFiles_->setObjectName("listFiles");
  SetHint(listFiles_, "Files panel");
  for (int i = 0; i < 6; ++i) {
    listFiles_->setHorizontalHeaderItem(i, new QTableWidgetItem(kColumns[i]));
    listFiles_->setColumnWidth(i, kColumnWidths[i]);
  }
  listFiles_->setShowGrid(true);
  listFiles_->setWordWrap(false);
  listFiles_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listFiles_->setSelectionMode(QAbstractItemView::SingleSelection);
  listFiles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listFiles_->verticalHeader()->hide();
  listFiles_->horizontalHeader()->setSectionsClickable(true);
  listFiles_->horizontalHeader()->setHighlightSections(false);
  // The last column reaches the window's right edge.
  listFiles_->horizontalHeader()->setStretchLastSection(true);
  listFiles_->setItemDelegateForColumn(1, new PathColumnDelegate(listFiles_));
  listFiles_->setContextMenuPolicy(Qt::CustomContextMenu);
  listFiles_->setAcceptDrops(false);
  listFiles_->viewport()->setAcceptDrops(false);
  splitter_->addWidget(listFiles_);
  splitter_->addWidget(BuildSourceView());
  splitter_->setChildrenCollapsible(false);
  v->addWidget(splitter_, 1);
  setCentralWidget(central);

  auto* bar = new QStatusBar(this);
  bar->setObjectName("barMain");
  statusHint_ = new QLabel(bar);

  statusHint_->setFixedWidth(550);
  statusCounts_ = new QLabel(bar);

  statusCounts_->setFixedWidth(200);
  bar->addWidget(statusHint_);
  bar->addWidget(statusCounts_);
  setStatusBar(bar);

  BuildPanelPopup();
  BuildMenus();
  RebuildFilesPanelMenu();
  connect(listFiles_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { menuForListFiles_->popup(listFiles_->viewport()->mapToGlobal(p)); });

  // The window sees every key before its controls (Esc).
  qApp->installEventFilter(this);
  SetSplitterPercent(72);
}

void PathColumnDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  option->textElideMode = Qt::ElideMiddle;
}

void TfrmMain::FitScreen() {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect area = s->availableGeometry();
  // The frame of the window system comes on top of the client area.
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize fit(std::min(width(), area.width() - frame.width()), std::min(height(), area.height() - frame.height()));
  if (fit != size()) resize(fit);
  if (isVisible() && !area.contains(frameGeometry())) move(area.topLeft());
}

void TfrmMain::SetCommand(MainItem which, std::function<void()> command) {
  itemCommands_[static_cast<std::size_t>(which)] = std::move(command);
}

void TfrmMain::SetCommand(MainButton which, std::function<void()> command) {
  buttonCommands_[static_cast<std::size_t>(which)] = std::move(command);
}

QAction* TfrmMain::MakeAction(MainItem which, const QString& caption, const QString& hint) {
  const auto index = static_cast<std::size_t>(which);
  auto* a = new QAction(caption, this);
  a->setObjectName(ObjectName(which));
  if (!hint.isEmpty()) SetHint(a, hint);
  connect(a, &QAction::triggered, this, [this, index] {
    if (itemCommands_[index]) itemCommands_[index]();
  });
  items_[index] = a;
  return a;
}

QToolButton* TfrmMain::MakeButton(MainButton which, QWidget* parent, const QString& hint) {
  const auto index = static_cast<std::size_t>(which);
  auto* b = new QToolButton(parent);
  b->setObjectName(ObjectName(which));
  SetHint(b, hint);
  connect(b, &QToolButton::clicked, this, [this, index] {
    if (buttonCommands_[index]) buttonCommands_[index]();
  });
  buttons_[index] = b;
  return b;
}

void TfrmMain::BuildToolbar(QWidget* console) {
  auto* row = new QHBoxLayout(console);
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(0);
  for (const auto& button : kToolButtons) {
    if (button.id == MainButton::Help) {
      gap_ = new QWidget(console);
      gap_->setObjectName("gapStretch");
      // The gap grows up to its width but never holds the window wide.
      gap_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
      gap_->setMinimumWidth(0);
      row->addWidget(gap_);
    }
    QToolButton* b = MakeButton(button.id, console, button.hint);
    b->setText(button.caption);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIcon(style()->standardIcon(button.icon));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(true);
    b->setMinimumWidth(64);
    row->addWidget(b);
    const MainButton id = button.id;
    if (id == MainButton::Path || id == MainButton::Optimize || id == MainButton::BackUp || id == MainButton::View)
      row->addSpacing(8);
  }
}

void TfrmMain::BuildPanelPopup() {
  menuForListFiles_ = new QMenu(this);
  menuForListFiles_->setObjectName("menuForListFiles");
  QMenu* m = menuForListFiles_;
  m->addAction(MakeAction(MainItem::SelectAll, "Select All"));
  m->addAction(MakeAction(MainItem::InvertSelection, "Invert selection"));
  m->addAction(MakeAction(MainItem::RemoveSelection, "Remove selection"));
  m->addSeparator();
  m->addAction(MakeAction(MainItem::ClearPanel, "Clear files panel"));
  m->addAction(MakeAction(MainItem::ClearUnchecked, "Clear unchecked files"));
  m->addSeparator();
  QAction* add = MakeAction(MainItem::AddFile, "Add file in the list");
  add->setShortcut(Qt::Key_Insert);
  add->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  QAction* remove = MakeAction(MainItem::RemoveFile, "Remove file from the list");
  remove->setShortcut(Qt::Key_Delete);
  remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  listFiles_->addAction(add);
  listFiles_->addAction(remove);
  m->addAction(add);
  m->addAction(remove);
  m->addSeparator();
  m->addAction(MakeAction(MainItem::SaveList, "Save list to the file"));
  m->addAction(MakeAction(MainItem::LoadList, "Load list from the file"));
  m->addSeparator();
  QMenu* sort = new QMenu(this);
  sort->setObjectName("menuSortTypeMenu");
  // The "Sort by" item only holds the sort items.
  auto* sortItem = new QAction("Sort by", this);
  sortItem->setObjectName("menuSortType");
  sortItem->setMenu(sort);
  const char* sortCaptions[6] = {"Filename", "Path", "Date", "Filesize", "Packed filesize", "Optimization ratio"};
  for (int i = 0; i < 6; ++i) {
    QAction* a = MakeAction(SortItem(i), sortCaptions[i]);
    a->setCheckable(true);
    sort->addAction(a);
  }
  m->addAction(sortItem);
  m->addSeparator();
  m->addAction(MakeAction(MainItem::Refresh, "Refresh"));
}

void TfrmMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("mainMenu");
  QMenu* actions = bar->addMenu(" &Actions");
  actions->menuAction()->setObjectName("menuActions");
  actions->addAction(MakeAction(MainItem::SelectFiles, "Select &files", "Select files for optimization"));
  actions->addAction(
      MakeAction(MainItem::SelectFolder, "Select fol&der", "Select files for optimization from the folder"));
  actions->addSeparator();
  actions->addAction(MakeAction(MainItem::Optimize, "&Optimize!", "Optimize selected files"));

  menuFilesPanel_ = bar->addMenu(" &Files panel");
  menuFilesPanel_->menuAction()->setObjectName("menuFilesPanel");

  QMenu* options = bar->addMenu(" &Options");
  options->menuAction()->setObjectName("menuOptions");
  options->addAction(MakeAction(MainItem::OptimizationOptions, "&Optimization options"));
  options->addAction(MakeAction(MainItem::ProgramSettings, "&Program settings"));

  QMenu* help = bar->addMenu(" &Help");
  help->menuAction()->setObjectName("menuHelp");
  QAction* content = MakeAction(MainItem::Content, "&Content");
  content->setShortcut(Qt::Key_F1);
  content->setShortcutContext(Qt::ApplicationShortcut);
  help->addAction(content);
  help->addSeparator();
  help->addAction(MakeAction(MainItem::About, "&About"));

  // Drop-down menus of the toolbar.
  auto* restore = new QMenu(this);
  restore->setObjectName("menuBackUp");
  restore->addAction(MakeAction(MainItem::BackUpLast, "Cancel last optimization"));
  restore->addAction(MakeAction(MainItem::BackUpChecked, "Cancel optimization for checked files"));
  button(MainButton::BackUp)->setMenu(restore);
  button(MainButton::BackUp)->setPopupMode(QToolButton::MenuButtonPopup);

  auto* view = new QMenu(this);
  view->setObjectName("menuView");
  view->addAction(MakeAction(MainItem::UnpackedFile, "UNpacked file"));
  view->addAction(MakeAction(MainItem::PackedFile, "Packed file"));
  button(MainButton::View)->setMenu(view);
  button(MainButton::View)->setPopupMode(QToolButton::MenuButtonPopup);

  auto* helpDrop = new QMenu(this);
  helpDrop->setObjectName("menuHelpDrop");
  QAction* dropContent = MakeAction(MainItem::HelpContent, "&Content");
  helpDrop->addAction(dropContent);
  helpDrop->addSeparator();
  helpDrop->addAction(MakeAction(MainItem::HelpAbout, "&About"));
  button(MainButton::Help)->setMenu(helpDrop);
  button(MainButton::Help)->setPopupMode(QToolButton::MenuButtonPopup);
}

QWidget* TfrmMain::BuildSourceView() {
  auto* pane = new QWidget(splitter_);
  pane->setObjectName("panSource");
  auto* row = new QHBoxLayout(pane);
  row->setContentsMargins(0, 0, 0, 0);
  memoFileSrc_ = new QPlainTextEdit(pane);
  memoFileSrc_->setObjectName("memoFileSrc");
  memoFileSrc_->setReadOnly(true);
  memoFileSrc_->setLineWrapMode(QPlainTextEdit::NoWrap);
  SetHint(memoFileSrc_, "File source");
  memoFileSrc_->setProperty(kMessageHint, true);
  row->addWidget(memoFileSrc_, 1);
  auto* side = new QVBoxLayout;
  side->setSpacing(2);
  struct Side {
    MainButton id;
    const char* hint;
    QStyle::StandardPixmap icon;
  };
  const Side sides[4] = {
      {MainButton::ViewUnZipped, "View the text of UNpacked file", QStyle::SP_FileIcon},
      {MainButton::ViewZipped, "View the text of packed file", QStyle::SP_FileDialogContentsView},
      {MainButton::SendToEdit, "Send file to external editor", QStyle::SP_FileDialogDetailedView},
      {MainButton::SaveFile, "Save changes to the file", QStyle::SP_DialogSaveButton},
  };
  for (const auto& s : sides) {
    QToolButton* b = MakeButton(s.id, pane, s.hint);
    b->setIcon(style()->standardIcon(s.icon));
    b->setAutoRaise(true);
    b->setEnabled(false);
    side->addWidget(b);
  }
  side->addStretch(1);
  row->addLayout(side);
  return pane;
}

void TfrmMain::RebuildFilesPanelMenu() {
  // Earlier copies go first, with their sub-menus.
  for (QAction* old : menuFilesPanel_->actions()) {
    menuFilesPanel_->removeAction(old);
    if (old->parent() == menuFilesPanel_) {
      QMenu* sub = old->menu();
      delete old;
      delete sub;
    }
  }
  auto copyOf = [this](QAction* item, QObject* owner) {
    if (item->isSeparator()) {
      auto* sep = new QAction(owner);
      sep->setSeparator(true);
      return sep;
    }
    auto* copy = new QAction(item->text(), owner);
    copy->setObjectName("main" + item->objectName());
    copy->setStatusTip(item->statusTip());
    connect(copy, &QAction::triggered, item, &QAction::trigger);
    return copy;
  };
  for (QAction* item : menuForListFiles_->actions()) {
    QAction* copy = copyOf(item, menuFilesPanel_);
    if (copy->objectName() == "mainmenuSortType" && item->menu()) {
      auto* sub = new QMenu(menuFilesPanel_);
      for (QAction* subItem : item->menu()->actions()) {
        QAction* subCopy = copyOf(subItem, sub);  // goes with its menu at the next rebuild
        subCopy->setCheckable(subItem->isCheckable());
        subCopy->setChecked(subItem->isChecked());
        connect(subItem, &QAction::toggled, subCopy, &QAction::setChecked);
        sub->addAction(subCopy);
      }
      copy->setMenu(sub);
    }
    menuFilesPanel_->addAction(copy);
  }
}

int TfrmMain::SplitterPercent() const {
  if (pendingPercent_) return *pendingPercent_;
  QList<int> sizes = splitter_->sizes();
  int total = sizes.value(0) + sizes.value(1);
  if (total <= 0) return 72;
  return (sizes.value(0) * 100 + total / 2) / total;
}

void TfrmMain::SetSplitterPercent(int percent) {
  percent = std::clamp(percent, 5, 95);
  splitter_->setStretchFactor(0, percent);
  splitter_->setStretchFactor(1, 100 - percent);
  // Before the window is laid out the panes' minimum sizes would bend the
  // share; it is applied at the splitter's first real size.
  if (!splitter_->isVisible() || splitter_->height() <= 0) {
    pendingPercent_ = percent;
    return;
  }
  pendingPercent_.reset();
  int total = splitter_->height() - splitter_->handleWidth();
  splitter_->setSizes({total * percent / 100, total - total * percent / 100});
}

bool TfrmMain::IsOnFilesPanel(const QPoint& windowPoint) const {
  QRect area(listFiles_->mapTo(this, QPoint(0, 0)), listFiles_->size());
  return windowPoint.x() >= area.left() && windowPoint.x() <= area.left() + area.width() &&
         windowPoint.y() >= area.top() && windowPoint.y() <= area.top() + area.height();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FitScreen();
    if (firstShown) firstShown();
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (closing) closing();
  event->accept();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  gap_->setMaximumWidth(std::max(0, width() - kFixedToolbarWidth));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == splitter_ && event->type() == QEvent::Resize && pendingPercent_ && splitter_->height() > 0) {
    int percent = *pendingPercent_;
    pendingPercent_.reset();
    int total = splitter_->height() - splitter_->handleWidth();
    splitter_->setSizes({total * percent / 100, total - total * percent / 100});
  }
  if (event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    auto* w = qobject_cast<QWidget*>(watched);
    // Only the release seen by this window or one of its controls counts, once.
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    if (key->key() == Qt::Key_Escape && !key->isAutoRepeat() && w == target && w->window() == this) {
      if (escapeReleased) escapeReleased();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TfrmMain::event(QEvent* event) {
  // Hints go to the first panel of the status bar, not over both panels.
  if (event->type() == QEvent::StatusTip) {
    statusHint_->setText(OneLine(static_cast<QStatusTipEvent*>(event)->tip()));
    return true;
  }
  if (event->type() == QEvent::WindowActivate && repainted) repainted();
  return QMainWindow::event(event);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << QDir::toNativeSeparators(url.toLocalFile());
  QPoint at = event->position().toPoint();
  event->acceptProposedAction();
  if (filesDropped) filesDropped(paths, at);
}

}  // namespace tersify::ui
