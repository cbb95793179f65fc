// The user of the command line: messages go to standard error, overwrite
// questions are answered from --overwrite or, with "ask", at a prompt.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_options.h"
#include "i18n/interaction.h"

namespace tersify::cli {

class TerminalInteraction : public UserInteraction {
 public:
  explicit TerminalInteraction(std::FILE* err = stderr, int inputFd = 0) : err_(err), inputFd_(inputFd) {}

  void SetPolicy(OverwritePolicy policy) { policy_ = policy; }
  OverwritePolicy policy() const { return policy_; }

  void MessageBox(const std::string& text, MessageKind kind) override;
  // Warnings with "Yes/Yes to all" are shown and answered Yes; "OK/Cancel" is
  // answered OK once Ctrl-C was pressed; every other question takes No.
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override;
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& question) override;
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                      const std::string& value) override;
  void ProcessPendingEvents() override {
    if (onPendingEvents) onPendingEvents();
  }

  int errorCount() const { return errors_; }
  // Existing files refused by --overwrite fail (or an unanswered prompt)
  // since the last call, which empties the list.
  std::vector<std::string> TakeRefused() { return std::exchange(refused_, {}); }
  // Called before anything is written to the terminal (clears a progress bar).
  std::function<void()> beforeOutput;
  // Called where the desktop program would let pending input through.
  std::function<void()> onPendingEvents;
  // Sources are modified without backups: the source itself met as the
  // existing output is what the user asked to overwrite.
  bool sourcesAreOutputs = false;

 private:
  std::optional<OverwriteChoice> Prompt(const OverwriteQuestion& q);
  // One line typed by the user; nothing at the end of input or on Ctrl-C.
  std::optional<std::string> ReadLine();
  void Before() {
    if (beforeOutput) beforeOutput();
  }

  std::FILE* err_;
  int inputFd_;
  OverwritePolicy policy_ = OverwritePolicy::Fail;
  int errors_ = 0;
  std::vector<std::string> refused_;
};

// A message box's text as one or more terminal lines: CR LF and bare CR become
// line breaks, leading empty lines go.
std::string TerminalText(const std::string& text);

// The answer typed at the overwrite prompt; nothing for an unknown one.
std::optional<OverwriteChoice> ChoiceFromKey(const std::string& typed, bool olderAllowed);

}  // namespace tersify::cli
