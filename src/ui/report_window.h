// TfrmReport: the progress and results window of an optimization run.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace tersify::ui {

class TfrmReport : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmReport(QWidget* parent = nullptr);

  // Set by the main window: the Start button's action, how a running clock
  // reads (empty while the clock is stopped) and the cancel request.
  std::function<void()> onStart;
  std::function<std::optional<QString>()> clockText;
  std::function<void()> requestCancel;

  void ShowPage(int page);
  int page() const;
  void SetDestination(const QString& comment, const QString& fullText);
  void SetCounts(const QString& files, const QString& size);
  void SetStatus(const QString& status);
  void SetClock(const QString& text);
  QString clock() const;
  void SetStartEnabled(bool enabled);
  void SetStartCaption(const QString& caption);
  // `breaksRun`: the button interrupts the run under way (and Esc acts as
  // it); otherwise it closes the window.
  void SetCancelCaption(const QString& caption, bool breaksRun);
  void SetResults(const QString& done, const QString& removed, const QString& average, const QString& max,
                  const QString& elapsed);

  QPushButton* startButton() const { return butStart_; }
  QPushButton* cancelButton() const { return butCancel_; }
  QPushButton* closeButton() const { return butClose_; }
  QLabel* label(const char* name) const;

  // Lays the texts out anew: every caption, number, status and button gets
  // the width its text needs and the window grows to hold them (it never gets
  // smaller than its first size).
  void FitTexts();

  // Ticks the clock at once (the timer does it every 100 ms).
  void Tick();

 protected:
  void keyReleaseEvent(QKeyEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CancelClicked();

  QStackedWidget* pages_;
  QLabel* labPathForOptimized_;
  QLabel* timeStatus_;
  QPushButton* butStart_;
  QPushButton* butCancel_;
  bool cancelBreaksRun_ = false;
  QPushButton* butClose_;
  QTimer* timer_;
};

}  // namespace tersify::ui
