// TfrmMain: the main window's layout: toolbar, menus, files panel, source
// view and status bar. The commands are connected by the application shell.
#pragma once

#include <QMainWindow>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableWidget;
class QToolButton;
class QWidget;

namespace tersify::ui {

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

  QAction* action(const char* name) const;
  QToolButton* toolButton(const char* name) const;
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
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint = {});
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
  bool shown_ = false;
  std::optional<int> pendingPercent_;  // the share to apply once the splitter has its size
};

}  // namespace tersify::ui
