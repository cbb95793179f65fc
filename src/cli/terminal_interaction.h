// The user of the command line: messages go to standard error, questions are
// answered from the flags, never from a window.
#pragma once

#include <cstdio>
#include <string>

#include "i18n/interaction.h"

namespace tersify::cli {

class TerminalInteraction : public UserInteraction {
 public:
  explicit TerminalInteraction(std::FILE* err = stderr) : err_(err) {}

  void MessageBox(const std::string& text, MessageKind kind) override;
  // Questions take their safe answer: No, Cancel, Yes (to "Yes/Yes to all").
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override;
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& question) override;
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                      const std::string& value) override;
  void ProcessPendingEvents() override {}

  int errorCount() const { return errors_; }

 private:
  std::FILE* err_;
  int errors_ = 0;
};

// A message box's text as one or more terminal lines: CR LF and bare CR become
// line breaks, leading empty lines go.
std::string TerminalText(const std::string& text);

}  // namespace tersify::cli
