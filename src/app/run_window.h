// What the desktop program's run shows in its progress and results window.
#pragma once

#include <string>

namespace tersify {

// The results page of a finished or cancelled run.
struct RunResultsView {
  std::string caption;  // "Optimization finished"
  std::string fdone;    // files processed
  std::string deleted;  // bytes removed (negative when the files grew)
  std::string midk;     // average ratio and " %"
  std::string mk;       // largest ratio and " %"
  std::string elapsed;  // the run's time
};

// What the window's Cancel button does: close the window, or interrupt the
// run under way (then captioned "Break", and Esc acts as the button).
enum class CancelRole { Close, Break };

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // Turns to the first page and sets the window's caption.
  virtual void ShowFirstPage(const std::string& caption) = 0;
  // The ticked file count and their total size.
  virtual void SetCounts(const std::string& fcount, const std::string& filessize) = 0;
  // The destination comment and the destination line; the window shortens the
  // line to its width, appends " ..." and keeps the full text as its hint.
  virtual void SetDestination(const std::string& comment, const std::string& destination) = 0;
  virtual void SetStatus(const std::string& text) = 0;  // the status line
  virtual void SetClock(const std::string& text) = 0;   // the running clock
  virtual void SetStartButton(const std::string& caption, bool enabled) = 0;
  virtual void SetCancelButton(const std::string& caption, bool enabled, CancelRole role) = 0;
  // Fills and turns to the results page.
  virtual void ShowResults(const RunResultsView& results) = 0;
  // Shows the window (not modal) / closes it.
  virtual void Open() = 0;
  virtual void Close() = 0;
};

}  // namespace tersify
