// TfrmMain: the main window's layout: toolbar, menus, files panel, source
// view and status bar. The commands are connected by the application shell.
#pragma once

#include <QMainWindow>
#include <QStyledItemDelegate>
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableWidget;
class QToolButton;
class QWidget;

namespace tersify::ui {

// The main window's buttons: the toolbar's from left to right, then the
// source view's side buttons from top to bottom.
enum class MainButton {
  Files,
  Path,
  Optimize,
  BackUp,
  View,
  Options,
  Help,
  Quit,
  ViewUnZipped,
  ViewZipped,
  SendToEdit,
  SaveFile,
};
inline constexpr std::size_t kMainButtonCount = 12;

// The main window's menu items that carry a command: the panel's popup menu,
// the main menu, then the toolbar's drop-down menus.
enum class MainItem {
  SelectAll,
  InvertSelection,
  RemoveSelection,
  ClearPanel,
  ClearUnchecked,
  AddFile,
  RemoveFile,
  SaveList,
  LoadList,
  Sort1,  // Sort1 to Sort6: "Sort by" the columns in their order
  Sort2,
  Sort3,
  Sort4,
  Sort5,
  Sort6,
  Refresh,
  SelectFiles,
  SelectFolder,
  Optimize,
  OptimizationOptions,
  ProgramSettings,
  Content,
  About,
  BackUpLast,
  BackUpChecked,
  UnpackedFile,
  PackedFile,
  HelpContent,
  HelpAbout,
};
inline constexpr std::size_t kMainItemCount = 29;

// The "Sort by" item of a column (0 to 5).
constexpr MainItem SortItem(int column) { return static_cast<MainItem>(static_cast<int>(MainItem::Sort1) + column); }

// The controls' object names, by which language files and tests find them.
const char* ObjectName(MainButton button);
const char* ObjectName(MainItem item);
// The item of an object name, for names that come as data (the options
// dialog's enabling rules reach the "Packed file" item so).
std::optional<MainItem> MainItemNamed(std::string_view name);

// The Path column: long folders lose their middle, so both ends stay readable.
class PathColumnDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);

  // Hooks of the shell.
  std::function<void()> escapeReleased;
  std::function<void(const QStringList& paths, const QPoint& windowPoint)> filesDropped;
  std::function<void()> firstShown;
  std::function<void()> closing;
  std::function<void()> repainted;

  QAction* item(MainItem which) const { return items_[static_cast<std::size_t>(which)]; }
  QToolButton* button(MainButton which) const { return buttons_[static_cast<std::size_t>(which)]; }

  // The command run when the item is chosen or the button clicked; one each.
  void SetCommand(MainItem which, std::function<void()> command);
  void SetCommand(MainButton which, std::function<void()> command);
  bool HasCommand(MainItem which) const { return bool(itemCommands_[static_cast<std::size_t>(which)]); }
  bool HasCommand(MainButton which) const { return bool(buttonCommands_[static_cast<std::size_t>(which)]); }
  QTableWidget* filesList() const { return listFiles_; }
  QPlainTextEdit* sourceView() const { return memoFileSrc_; }
  QSplitter* splitter() const { return splitter_; }
  QMenu* panelPopup() const { return menuForListFiles_; }
  QMenu* filesPanelMenu() const { return menuFilesPanel_; }
  QWidget* toolbarGap() const { return gap_; }
  QLabel* statusHint() const { return statusHint_; }
  QLabel* statusCounts() const { return statusCounts_; }

  // Copies the panel's popup menu into " &Files panel": items named "main" +
  // the popup item's name, with its caption and action; the sort submenu too.
  void RebuildFilesPanelMenu();

  // The upper pane's share of the height, in percent.
  int SplitterPercent() const;
  void SetSplitterPercent(int percent);

  // True when the point (in the window's coordinates) lies on the files panel, edges included.
  bool IsOnFilesPanel(const QPoint& windowPoint) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Never larger than the screen's free area, and inside it once shown.
  void FitScreen();
  QAction* MakeAction(MainItem which, const QString& caption, const QString& hint = {});
  QToolButton* MakeButton(MainButton which, QWidget* parent, const QString& hint);
  void BuildToolbar(QWidget* strip);
  void BuildMenus();
  void BuildPanelPopup();
  QWidget* BuildSourceView();

  QTableWidget* listFiles_;
  QPlainTextEdit* memoFileSrc_;
  QSplitter* splitter_;
  QMenu* menuForListFiles_;
  QMenu* menuFilesPanel_;
  QWidget* gap_;
  QLabel* statusHint_;
  QLabel* statusCounts_;
  std::array<QAction*, kMainItemCount> items_{};
  std::array<QToolButton*, kMainButtonCount> buttons_{};
  std::array<std::function<void()>, kMainItemCount> itemCommands_;
  std::array<std::function<void()>, kMainButtonCount> buttonCommands_;
  bool shown_ = false;
  std::optional<int> pendingPercent_;  // the share to apply once the splitter has its size
};

}  // namespace tersify::ui
