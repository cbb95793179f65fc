// The main window's commands: each forwards to the panel, the source view or
// the run, then shows the state they reached.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>

#include "app/application.h"
#include "app/restore_commands.h"
#include "panel/adding.h"
#include "platform/paths.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify {

using ui::FromQ;
using ui::MainButton;
using ui::MainItem;
using ui::ToQ;

void Application::ShowPanel() {
  QTableWidget* list = frmMain_->filesList();
  showing_ = true;
  QSignalBlocker block(list);
  list->setRowCount(static_cast<int>(panel_.size()));
  for (int r = 0; r < static_cast<int>(panel_.size()); ++r) {
    const PanelRow& row = panel_.rows()[static_cast<size_t>(r)];
    for (int c = 0; c < 6; ++c) {
      const std::string* text = row.ColumnText(c);
      auto* item = new QTableWidgetItem(text ? ToQ(*text) : QString());
      if (c == 0) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
      }
      if (c >= kColSize) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // Rows of the same name from different folders are told apart here.
      item->setToolTip(ToQ(row.FullPath()));
      list->setItem(r, c, item);
    }
  }
  if (panel_.selected && *panel_.selected < panel_.size())
    list->selectRow(static_cast<int>(*panel_.selected));
  else
    list->clearSelection();
  showing_ = false;
  panel_.UpdateStatusLine(catalogue_);
  MarkSortMenus();
}

void Application::ShowView() {
  QPlainTextEdit* memo = frmMain_->sourceView();
  showing_ = true;
  // A command that leaves the text as it is keeps the cursor and the undo steps.
  QString text = ToQ(view_.shown);
  if (ui::EditorText(memo) != text) memo->setPlainText(text);
  showing_ = false;
  memo->setReadOnly(view_.readOnly);
  ui::SetHint(memo, ToQ(view_.hint));
  memo->parentWidget()->setVisible(view_.visible);
  frmMain_->button(MainButton::ViewUnZipped)->setEnabled(view_.butViewUnZipped);
  frmMain_->button(MainButton::ViewZipped)->setEnabled(view_.butViewZipped);
  frmMain_->button(MainButton::SendToEdit)->setEnabled(view_.butSendToEdit);
  frmMain_->button(MainButton::SaveFile)->setEnabled(view_.butSaveFile);
  ui::SetHint(frmMain_->item(MainItem::UnpackedFile), ToQ(view_.unpackedItemHint));
  ui::SetHint(frmMain_->item(MainItem::PackedFile), ToQ(view_.packedItemHint));
}

void Application::MarkSortMenus() {
  for (int i = 0; i < 6; ++i) frmMain_->item(ui::SortItem(i))->setChecked(panel_.sortColumn() == i);
}

void Application::AfterCommand() {
  ShowPanel();
  ShowView();
  frmMain_->item(MainItem::BackUpLast)->setEnabled(runState_.backUpLastEnabled);
}

void Application::ShowBeforeBlocking(bool box) {
  if (!box && frmMain_->filesList()->rowCount() == static_cast<int>(panel_.size())) return;
  ShowPanel();
  frmMain_->filesList()->viewport()->update();
}

void Application::SortBy(int column) {
  panel_.ChangeSortColumn(column, Ctx());
  settings_.column_sort = panel_.sortColumn();
  AfterCommand();
}

void Application::StartProgram(const std::string& program, const std::string& path) {
  // The path goes as one argument, without a shell, with its folder as the
  // working folder; what the program does with it is its own.
  if (!startProgram(program, path, platform::FolderPart(path)) && program == settings_.edExtEditor)
    ShowMessageBox(*user_, catalogue_.Text("const_extEd_error"), MessageKind::Error);
}

void Application::ConnectPanelCommands() {
  ui::TfrmMain& m = *frmMain_;
  QTableWidget* list = m.filesList();
  panel_.SetStatusSink([this](const std::string& line) { frmMain_->statusCounts()->setText(ToQ(line)); });

  QObject::connect(list, &QTableWidget::itemChanged, &m, [this](QTableWidgetItem* item) {
    if (showing_ || item->column() != 0) return;
    size_t r = static_cast<size_t>(item->row());
    if (r < panel_.size()) panel_.rows()[r].checked = item->checkState() == Qt::Checked;
    panel_.UpdateStatusLine(catalogue_);
  });
  QObject::connect(list, &QTableWidget::currentCellChanged, &m, [this](int row, int, int, int) {
    if (showing_) return;
    if (row >= 0 && static_cast<size_t>(row) < panel_.size()) {
      panel_.selected = panel_.focused = static_cast<size_t>(row);
      view_.OnRowSelected(&panel_.rows()[static_cast<size_t>(row)], settings_);
    } else {
      panel_.selected.reset();
    }
    ShowView();
  });
  QObject::connect(list, &QTableWidget::cellClicked, &m, [this](int, int) {
    if (frmMain_->filesList()->selectedItems().isEmpty()) {
      panel_.selected.reset();
      view_.OnPanelClick(panel_, catalogue_);
      ShowView();
    }
  });
  QObject::connect(list, &QTableWidget::cellDoubleClicked, &m, [this](int, int) {
    view_.OnPanelDoubleClick(panel_, Ctx());
    ShowView();
  });
  QObject::connect(list->horizontalHeader(), &QHeaderView::sectionClicked, &m, [this](int c) { SortBy(c); });
  for (int i = 0; i < 6; ++i) m.SetCommand(ui::SortItem(i), [this, i] { SortBy(i); });

  m.SetCommand(MainItem::SelectAll, [this] {
    panel_.SelectAll();
    AfterCommand();
  });
  m.SetCommand(MainItem::InvertSelection, [this] {
    panel_.InvertSelection();
    AfterCommand();
  });
  m.SetCommand(MainItem::RemoveSelection, [this] {
    panel_.RemoveSelection();
    AfterCommand();
  });
  m.SetCommand(MainItem::ClearPanel, [this] {
    ClearFilesPanel(panel_, view_, Ctx());
    AfterCommand();
  });
  m.SetCommand(MainItem::ClearUnchecked, [this] {
    panel_.RemoveUncheckedRows();
    panel_.UpdateStatusLine(catalogue_);
    AfterCommand();
  });
  m.SetCommand(MainItem::Refresh, [this] {
    panel_.RefreshPanel(Ctx());
    AfterCommand();
  });
  m.SetCommand(MainItem::RemoveFile, [this] {
    RemoveFocusedRow(panel_, view_, Ctx());
    AfterCommand();
  });
  m.SetCommand(MainItem::AddFile, [this] {
    QStringList files = chooser_->OpenFiles(frmMain_.get(), QString(), ToQ(catalogue_.Text("const_html_fil")), false);
    std::string chosen = files.isEmpty() ? std::string() : FromQ(QDir::toNativeSeparators(files.first()));
    AddOneFile(panel_, files.isEmpty() ? nullptr : &chosen, Ctx());
    AfterCommand();
  });
  m.SetCommand(MainItem::SaveList, [this] {
    std::optional<std::string> chosen;
    if (!panel_.empty()) {
      if (auto name = chooser_->SaveFile(frmMain_.get(), ToQ(catalogue_.Text("const_lst_fil")), "lst"))
        chosen = FromQ(QDir::toNativeSeparators(*name));
    }
    SaveListCommand(panel_, chosen ? &*chosen : nullptr, Ctx());
  });
  m.SetCommand(MainItem::LoadList, [this] {
    QStringList files = chooser_->OpenFiles(frmMain_.get(), QString(), ToQ(catalogue_.Text("const_lst_fil")), false);
    if (!files.isEmpty() && QFileInfo(files.first()).isFile())
      LoadFileList(panel_, FromQ(QDir::toNativeSeparators(files.first())), Ctx());
    AfterCommand();
  });

  auto chooseFiles = [this] {
    QStringList files =
        chooser_->OpenFiles(frmMain_.get(), "Select files(s)", ToQ(catalogue_.Text("const_html_fil")), true);
    if (files.isEmpty()) return;
    std::vector<std::string> chosen;
    for (const QString& f : files) chosen.push_back(FromQ(QDir::toNativeSeparators(f)));
    AddChosenFiles(panel_, view_, chosen, Ctx());
    AfterCommand();
  };
  m.SetCommand(MainButton::Files, chooseFiles);
  m.SetCommand(MainItem::SelectFiles, chooseFiles);
  auto chooseFolder = [this] {
    if (RefuseWhenBusy(runState_, Ctx())) return;
    auto folder = chooser_->ChooseFolder(frmMain_.get(), ToQ(FolderDialogText(Ctx())));
    std::string chosen = folder ? FromQ(QDir::toNativeSeparators(*folder)) : std::string();
    AddFolder(panel_, view_, runState_, folder ? &chosen : nullptr, Ctx());
    AfterCommand();
  };
  m.SetCommand(MainButton::Path, chooseFolder);
  m.SetCommand(MainItem::SelectFolder, chooseFolder);

  auto optimize = [this] {
    run_->OptimizeCommand();
    AfterCommand();
  };
  m.SetCommand(MainButton::Optimize, optimize);
  m.SetCommand(MainItem::Optimize, optimize);

  m.SetCommand(MainButton::BackUp, [this] {
    RestoreClick(panel_, view_, runState_, Ctx());
    AfterCommand();
  });
  // The drop-down opens with its items as they were even when the guard
  // refused; the commands themselves refuse during a run or a folder walk.
  m.SetCommand(MainItem::BackUpLast, [this] {
    CancelLastOptimization(panel_, view_, runState_, Ctx());
    AfterCommand();
  });
  m.SetCommand(MainItem::BackUpChecked, [this] {
    CancelCheckedFiles(panel_, view_, runState_, Ctx());
    AfterCommand();
  });
  QObject::connect(m.button(MainButton::BackUp)->menu(), &QMenu::aboutToShow, &m, [this] {
    RestoreMenuState items{frmMain_->item(MainItem::BackUpLast)->isEnabled(),
                           frmMain_->item(MainItem::BackUpChecked)->isEnabled()};
    RestoreDropDown(panel_, runState_, items, Ctx());
    frmMain_->item(MainItem::BackUpLast)->setEnabled(items.lastRun);
    frmMain_->item(MainItem::BackUpChecked)->setEnabled(items.checkedFiles);
  });

  frmMain_->escapeReleased = [this] { run_->EscapeInMainWindow(); };
  frmMain_->filesDropped = [this](const QStringList& paths, const QPoint& at) {
    std::vector<std::string> list;
    for (const QString& p : paths) list.push_back(FromQ(p));
    QTableWidget* files = frmMain_->filesList();
    QPoint topLeft = files->mapTo(frmMain_.get(), QPoint(0, 0));
    PanelArea area{topLeft.x(), topLeft.y(), topLeft.x() + files->width(), topLeft.y() + files->height()};
    DropFiles(panel_, list, PanelPoint{at.x(), at.y()}, area, Ctx());
    AfterCommand();
  };
  frmMain_->repainted = [this] {
    if (runState_.BusyState == Busy::None && !panel_.empty()) {
      panel_.RefreshPanel(Ctx());
      ShowPanel();
    }
  };
}

void Application::ConnectViewCommands() {
  ui::TfrmMain& m = *frmMain_;
  m.SetCommand(MainButton::ViewUnZipped, [this] {
    view_.ShowCopy(false, panel_, Ctx());
    ShowView();
  });
  m.SetCommand(MainButton::ViewZipped, [this] {
    view_.ShowCopy(true, panel_, Ctx());
    ShowView();
  });
  m.SetCommand(MainButton::SaveFile, [this] {
    view_.SaveFile(Ctx());
    ShowView();
  });
  m.SetCommand(MainButton::SendToEdit, [this] {
    if (auto file = view_.FileForEditor()) StartProgram(settings_.edExtEditor, *file);
  });
  QObject::connect(m.sourceView(), &QPlainTextEdit::textChanged, &m, [this] {
    if (showing_) return;
    view_.EditText(FromQ(ui::EditorText(frmMain_->sourceView())));
    frmMain_->button(MainButton::SaveFile)->setEnabled(view_.butSaveFile);
  });
  auto browse = [this](std::optional<std::string> path) {
    if (path && CheckBrowserPath(*path, Ctx())) StartProgram(settings_.edBrowser, *path);
  };
  m.SetCommand(MainButton::View, [this, browse] { browse(ViewButtonPath(panel_, Ctx())); });
  m.SetCommand(MainItem::UnpackedFile, [this, browse] { browse(ViewItemPath(false, panel_, settings_)); });
  m.SetCommand(MainItem::PackedFile, [this, browse] { browse(ViewItemPath(true, panel_, settings_)); });
  QObject::connect(m.button(MainButton::View)->menu(), &QMenu::aboutToShow, &m, [this] {
    ViewMenuState state = ViewDropDown(panel_, settings_);
    frmMain_->item(MainItem::UnpackedFile)->setEnabled(state.unpacked);
    frmMain_->item(MainItem::PackedFile)->setEnabled(state.packed);
  });
  frmReplaceDlg_->viewInBrowser = [this](const std::string& path) {
    if (CheckBrowserPath(path, Ctx())) StartProgram(settings_.edBrowser, path);
  };
  frmReplaceDlg_->sendToEditor = [this](const std::string& path) { StartProgram(settings_.edExtEditor, path); };
}

}  // namespace tersify
