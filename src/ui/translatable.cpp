#include "ui/translatable.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify::ui {
namespace {

// Captions take line breaks as CR; Qt breaks lines at LF.
QString Display(const std::string& text) {
  QString s = ToQ(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

std::string Stored(const QString& text) {
  QString s = text;
  s.replace(QChar('\n'), QStringLiteral("*|*"));
  return FromQ(s);
}

// A page of a tab widget: its caption is the tab's text.
QTabWidget* TabOwner(const QObject* o, int* index) {
  auto* w = qobject_cast<const QWidget*>(o);
  if (!w) return nullptr;
  auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
  if (!stack) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  if (!tabs) return nullptr;
  *index = tabs->indexOf(const_cast<QWidget*>(w));
  return *index >= 0 ? tabs : nullptr;
}

bool Skipped(const QString& name) {
  return name.isEmpty() || name.startsWith("qt_") || name.startsWith("mainmenu") || name.startsWith("mainsort");
}

// Whether an object lies inside another window (a dialog parented to this
// one): its texts are that window's own. Menus are windows too, but their
// actions belong to the window that holds the menu.
bool BelongsToOtherWindow(const QObject* o, const QWidget* window) {
  for (const QObject* p = o; p && p != window; p = p->parent()) {
    auto* w = qobject_cast<const QWidget*>(p);
    if (w && w->isWindow() && !qobject_cast<const QMenu*>(w)) return true;
  }
  return false;
}

}  // namespace

std::string QtComponent::Name() const { return object_ ? FromQ(object_->objectName()) : std::string(); }

bool QtComponent::HasCaption() const {
  int index = 0;
  if (auto* a = qobject_cast<QAction*>(object_)) return !a->isSeparator();
  return qobject_cast<QLabel*>(object_) || qobject_cast<QAbstractButton*>(object_) ||
         qobject_cast<QGroupBox*>(object_) || TabOwner(object_, &index);
}

void QtComponent::SetCaption(const std::string& text) {
  QString s = Display(text);
  int index = 0;
  if (auto* a = qobject_cast<QAction*>(object_))
    a->setText(s);
  else if (auto* l = qobject_cast<QLabel*>(object_))
    l->setText(s);
  else if (auto* b = qobject_cast<QAbstractButton*>(object_))
    b->setText(s);
  else if (auto* g = qobject_cast<QGroupBox*>(object_))
    g->setTitle(s);
  else if (auto* t = TabOwner(object_, &index))
    t->setTabText(index, s);
}

std::string QtComponent::Caption() const {
  int index = 0;
  if (auto* a = qobject_cast<QAction*>(object_)) return Stored(a->text());
  if (auto* l = qobject_cast<QLabel*>(object_)) return Stored(l->text());
  if (auto* b = qobject_cast<QAbstractButton*>(object_)) return Stored(b->text());
  if (auto* g = qobject_cast<QGroupBox*>(object_)) return Stored(g->title());
  if (auto* t = TabOwner(object_, &index)) return Stored(t->tabText(index));
  return {};
}

bool QtComponent::HasHint() const {
  if (auto* a = qobject_cast<QAction*>(object_)) return !a->isSeparator();
  // A hint the program writes from its message texts follows the language by them.
  if (object_ && object_->property(kMessageHint).toBool()) return false;
  return qobject_cast<QWidget*>(object_) != nullptr;
}

void QtComponent::SetHint(const std::string& text) { ui::SetHint(object_, Display(text)); }
std::string QtComponent::Hint() const { return Stored(HintOf(object_)); }

std::size_t QtComponent::ItemCount() const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) return static_cast<std::size_t>(c->count());
  return 0;
}

void QtComponent::SetItem(std::size_t index, const std::string& text) {
  if (auto* c = qobject_cast<QComboBox*>(object_)) c->setItemText(static_cast<int>(index), ToQ(text));
}

std::string QtComponent::Item(std::size_t index) const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) return FromQ(c->itemText(static_cast<int>(index)));
  return {};
}

int QtComponent::SelectedItem() const {
  if (auto* c = qobject_cast<QComboBox*>(object_)) return c->currentIndex();
  return -1;
}

void QtComponent::SelectItem(int index) {
  if (auto* c = qobject_cast<QComboBox*>(object_)) c->setCurrentIndex(index);
}

std::size_t QtComponent::ColumnCount() const {
  if (auto* t = qobject_cast<QTableWidget*>(object_)) return static_cast<std::size_t>(t->columnCount());
  if (auto* t = qobject_cast<QTreeWidget*>(object_); t && !t->isHeaderHidden())
    return static_cast<std::size_t>(t->columnCount());
  return 0;
}

void QtComponent::SetColumnCaption(std::size_t index, const std::string& text) {
  int i = static_cast<int>(index);
  if (auto* t = qobject_cast<QTableWidget*>(object_)) {
    if (auto* item = t->horizontalHeaderItem(i)) item->setText(ToQ(text));
  } else if (auto* tree = qobject_cast<QTreeWidget*>(object_)) {
    tree->headerItem()->setText(i, ToQ(text));
  }
}

std::string QtComponent::ColumnCaption(std::size_t index) const {
  int i = static_cast<int>(index);
  if (auto* t = qobject_cast<QTableWidget*>(object_)) {
    if (auto* item = t->horizontalHeaderItem(i)) return FromQ(item->text());
  } else if (auto* tree = qobject_cast<QTreeWidget*>(object_)) {
    return FromQ(tree->headerItem()->text(i));
  }
  return {};
}

std::string QtWindow::Name() const { return FromQ(window_->objectName()); }
void QtWindow::SetTitle(const std::string& text) { window_->setWindowTitle(OneLine(Display(text))); }
std::string QtWindow::Title() const { return FromQ(window_->windowTitle()); }

std::vector<QtComponent*> QtWindow::QtComponents() {
  components_.clear();
  QSet<QString> seen;
  std::vector<QtComponent*> out;
  for (QObject* o : window_->findChildren<QObject*>()) {
    if (!qobject_cast<QWidget*>(o) && !qobject_cast<QAction*>(o)) continue;
    if (BelongsToOtherWindow(o, window_)) continue;
    QString name = o->objectName();
    if (Skipped(name) || seen.contains(name)) continue;
    seen.insert(name);
    components_.push_back(std::make_unique<QtComponent>(o));
    out.push_back(components_.back().get());
  }
  return out;
}

std::vector<TranslatableComponent*> QtWindow::Components() {
  std::vector<TranslatableComponent*> out;
  for (QtComponent* c : QtComponents()) out.push_back(c);
  return out;
}

std::vector<std::string> DescribeWindowTexts(QtWindow& window) {
  std::vector<std::string> lines;
  const std::string w = window.Name();
  lines.push_back(w + ".Caption=" + window.Title());
  for (QtComponent* c : window.QtComponents()) {
    const std::string prefix = w + "." + c->Name();
    if (c->HasCaption() && !c->Caption().empty()) lines.push_back(prefix + ".Caption=" + c->Caption());
    if (c->HasHint() && !c->Hint().empty()) lines.push_back(prefix + ".Hint=" + c->Hint());
    for (std::size_t i = 0; i < c->ItemCount(); ++i)
      lines.push_back(prefix + ".items[" + std::to_string(i) + "]=" + c->Item(i));
    for (std::size_t i = 0; i < c->ColumnCount(); ++i)
      lines.push_back(prefix + ".columns[" + std::to_string(i) + "].caption=" + c->ColumnCaption(i));
  }
  return lines;
}

}  // namespace tersify::ui
