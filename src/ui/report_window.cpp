#include "ui/report_window.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include "ui/widgets.h"

namespace tersify::ui {
namespace {

// A bold number whose right edge lies at 304.
QLabel* MakeNumber(QWidget* parent, const char* name, int top, int rightEdge = 304) {
  auto* label = MakeLabel(parent, name, "0", rightEdge - 150, top, 150);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  MakeBold(label);
  return label;
}

constexpr int kDestinationWidth = 260;
constexpr QSize kBaseSize(340, 262);
constexpr int kNumbersRight = 304;  // the numbers' right edge at the base size
constexpr int kGap = 12;

int TextWidth(const QWidget* w) { return w->sizeHint().width(); }

void SetLeftWidth(QWidget* w, int left, int width) { w->setGeometry(left, w->y(), width, w->height()); }

}  // namespace

TfrmReport::TfrmReport(QWidget* parent) : QDialog(parent) {
  setObjectName("frmReport");
  setWindowTitle("Optimization");
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
  setFixedSize(340, 262);

  pages_ = new QStackedWidget(this);
  pages_->setObjectName("pcReport");
  pages_->setGeometry(0, 0, 340, 262);

  auto* first = new QWidget;
  first->setObjectName("tsProgress");
  MakeLabel(first, "labFilesChosen", "Files selected:", 24, 32, 200);
  MakeNumber(first, "fcount", 32);
  MakeLabel(first, "labTotalFileSize", "Total size ( bytes )", 24, 56, 200);
  MakeNumber(first, "filessize", 56);
  MakeLabel(first, "labPathComment", "Optimized files will be saveed in", 24, 104, 300);
  labPathForOptimized_ = MakeLabel(first, "labPathForOptimized", "Folder", 32, 128, 300);
  MakeBold(labPathForOptimized_);
  MakeLabel(first, "labStatusComment", "Status:", 24, 160, 200);
  auto* status = MakeLabel(first, "labStatus", "ready for optimization", 32, 184, 190);
  MakeBold(status);
  timeStatus_ = MakeNumber(first, "time_status", 184);
  timeStatus_->setGeometry(224, 184, 80, timeStatus_->height());
  timeStatus_->clear();
  butStart_ = new QPushButton("Start!", first);
  butStart_->setObjectName("butStart");
  butStart_->setFlat(true);
  butStart_->setGeometry(88, 216, 81, 25);
  butCancel_ = new QPushButton("Cancel", first);
  butCancel_->setObjectName("butCancel");
  butCancel_->setFlat(true);
  butCancel_->setGeometry(168, 216, 89, 25);
  pages_->addWidget(first);

  auto* second = new QWidget;
  second->setObjectName("tsResults");
  MakeLabel(second, "labFileProcesses", "Files processed:", 24, 24, 200);
  MakeNumber(second, "fdone", 24);
  MakeLabel(second, "labBytesRemoved", "Bytes removed:", 24, 48, 200);
  MakeNumber(second, "deleted", 48);
  MakeLabel(second, "labAverageRatio", "Average optimization ratio:", 24, 80, 200);
  MakeNumber(second, "midk", 80);
  MakeLabel(second, "labmaxRatio", "Max optimization ratio:", 24, 104, 200);
  MakeNumber(second, "mk", 104);
  MakeLabel(second, "labTimeElapsed", "Time elapsed", 24, 136, 200);
  MakeNumber(second, "elapsed", 136);
  auto* comm = new QLabel("Some visible changes can be caused by changing\nplacement of *.css files, etc.", second);
  comm->setObjectName("labComm");
  comm->setAlignment(Qt::AlignCenter);
  comm->setGeometry(8, 176, 321, 41);
  butClose_ = new QPushButton("Close", second);
  butClose_->setObjectName("butClose");
  butClose_->setFlat(true);
  butClose_->setGeometry(104, 224, 113, 25);
  pages_->addWidget(second);

  connect(butStart_, &QPushButton::clicked, this, [this] {
    if (onStart) onStart();
  });
  connect(butCancel_, &QPushButton::clicked, this, &TfrmReport::CancelClicked);
  connect(butClose_, &QPushButton::clicked, this, &QDialog::close);

  timer_ = new QTimer(this);
  timer_->setObjectName("Timer1");
  timer_->setInterval(100);
  connect(timer_, &QTimer::timeout, this, &TfrmReport::Tick);
  timer_->start();
  FitTexts();
}

void TfrmReport::FitTexts() {
  // Caption and number pairs: a number's right edge lies past the longest caption.
  const char* pairs[][2] = {{"labFilesChosen", "fcount"},  {"labTotalFileSize", "filessize"},
                            {"labFileProcesses", "fdone"}, {"labBytesRemoved", "deleted"},
                            {"labAverageRatio", "midk"},   {"labmaxRatio", "mk"},
                            {"labTimeElapsed", "elapsed"}};
  int right = kNumbersRight;
  for (const auto& pair : pairs) {
    QLabel* caption = label(pair[0]);
    QLabel* number = label(pair[1]);
    SetLeftWidth(caption, caption->x(), std::max(200, TextWidth(caption)));
    right = std::max(right, caption->x() + TextWidth(caption) + kGap + TextWidth(number));
  }
  // The status line and the clock after it.
  QLabel* status = label("labStatus");
  SetLeftWidth(status, status->x(), std::max(190, TextWidth(status)));
  const int clockWidth = std::max(80, fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0")) + 4);
  right = std::max(right, status->x() + status->width() + kGap + clockWidth);
  for (const char* name : {"labPathComment", "labStatusComment"}) {
    QLabel* l = label(name);
    SetLeftWidth(l, l->x(), std::max(l->width(), TextWidth(l)));
    right = std::max(right, l->x() + l->width());
  }
  QLabel* comment = label("labComm");
  const int width = std::max({kBaseSize.width(), right + (kBaseSize.width() - kNumbersRight), TextWidth(comment) + 16,
                              TextWidth(butStart_) + TextWidth(butCancel_) + 32});
  right = width - (kBaseSize.width() - kNumbersRight);
  for (const auto& pair : pairs) {
    QLabel* number = label(pair[1]);
    SetLeftWidth(number, right - 150, 150);
  }
  SetLeftWidth(timeStatus_, right - clockWidth, clockWidth);
  SetLeftWidth(labPathForOptimized_, labPathForOptimized_->x(), std::max(300, right - labPathForOptimized_->x()));
  // The buttons side by side in the middle, as wide as their captions need.
  const int start = std::max(81, TextWidth(butStart_)), cancel = std::max(89, TextWidth(butCancel_));
  SetLeftWidth(butStart_, (width - start - cancel) / 2, start);
  SetLeftWidth(butCancel_, butStart_->x() + start - 1, cancel);
  const int closeWidth = std::max(113, TextWidth(butClose_));
  SetLeftWidth(butClose_, (width - closeWidth) / 2, closeWidth);
  const int commentHeight = std::max(41, comment->sizeHint().height());
  comment->setGeometry(8, comment->y(), width - 16, commentHeight);
  butClose_->move(butClose_->x(), comment->y() + commentHeight + 7);
  const int height = std::max(kBaseSize.height(), butClose_->y() + butClose_->height() + 13);
  setFixedSize(width, height);
  pages_->setGeometry(0, 0, width, height);
}

QLabel* TfrmReport::label(const char* name) const { return findChild<QLabel*>(name); }

void TfrmReport::ShowPage(int page) { pages_->setCurrentIndex(page); }
int TfrmReport::page() const { return pages_->currentIndex(); }

void TfrmReport::SetDestination(const QString& comment, const QString& fullText) {
  label("labPathComment")->setText(comment);
  FitTexts();
  SetHint(labPathForOptimized_, fullText);
  // The line is cut from the end until it is narrower than 260 pixels, then
  // " ..." is added, also when the text fitted at once.
  QFontMetrics fm(labPathForOptimized_->font());
  QString shown = fullText;
  while (!shown.isEmpty() && fm.horizontalAdvance(shown) >= kDestinationWidth) shown.chop(1);
  labPathForOptimized_->setText(shown + " ...");
}

void TfrmReport::SetCounts(const QString& files, const QString& size) {
  label("fcount")->setText(files);
  label("filessize")->setText(size);
}

void TfrmReport::SetStatus(const QString& status) {
  label("labStatus")->setText(status);
  FitTexts();
}
void TfrmReport::SetClock(const QString& text) { timeStatus_->setText(text); }
QString TfrmReport::clock() const { return timeStatus_->text(); }
void TfrmReport::SetStartEnabled(bool enabled) { butStart_->setEnabled(enabled); }
void TfrmReport::SetStartCaption(const QString& caption) {
  butStart_->setText(caption);
  FitTexts();
}
void TfrmReport::SetCancelCaption(const QString& caption, bool breaksRun) {
  butCancel_->setText(caption);
  cancelBreaksRun_ = breaksRun;
  FitTexts();
}

void TfrmReport::SetResults(const QString& done, const QString& removed, const QString& average, const QString& max,
                            const QString& elapsed) {
  label("fdone")->setText(done);
  label("deleted")->setText(removed);
  label("midk")->setText(average);
  label("mk")->setText(max);
  label("elapsed")->setText(elapsed);
}

void TfrmReport::Tick() {
  if (!clockText) return;
  if (auto text = clockText()) timeStatus_->setText(*text);
}

void TfrmReport::CancelClicked() {
  if (cancelBreaksRun_) {
    if (requestCancel) requestCancel();
  } else {
    close();
  }
}

void TfrmReport::keyPressEvent(QKeyEvent* event) {
  // Esc must not close the window by itself; its release is handled below.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmReport::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
    if (cancelBreaksRun_) butCancel_->click();
    event->accept();
    return;
  }
  QDialog::keyReleaseEvent(event);
}

}  // namespace tersify::ui
