// The one channel through which the core talks to the user. The desktop program
// implements it with real dialogs, the command line answers from its flags and
// the tests script it.
#pragma once

#include <optional>
#include <string>

namespace tersify {

enum class MessageKind { Warning, Error, Information, Confirmation };

enum class QuestionButtons { YesNo, OkCancel, YesYesToAll };

enum class Answer { Ok, Cancel, Yes, No, YesToAll };

// Answers of the overwrite question, in the order of the dialog's buttons.
enum class OverwriteChoice { Overwrite, OverwriteAll, Skip, OverwriteAllOlder, SkipAll, NewName, Rename };

// What the overwrite question shows: the existing (upper) file and the file
// that would replace it (lower), with the caption of the lower line.
struct OverwriteQuestion {
  std::string upperPath;
  std::string upperInfo;  // size, " bytes    ", date
  std::string lowerPath;
  std::string lowerInfo;      // size, " bytes    ", date, "  ?"
  std::string lowerCaption;   // "With file" or "With optimized copy of the file"
  bool olderAllowed = false;  // "Ovewrite All Older" is offered (backup step only)
};

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;

  // A modal box with one OK button. Shows the text exactly as given.
  virtual void MessageBox(const std::string& text, MessageKind kind) = 0;

  // A modal question box; returns the button pressed.
  virtual Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) = 0;

  // The overwrite question of a run. An empty result means the dialog was
  // closed without an answer button; the caller keeps its previous answer.
  virtual std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& question) = 0;

  // A one-line input box; nullopt when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                              const std::string& value) = 0;

  // Lets the window system deliver pending input (Break button, Esc, clock).
  virtual void ProcessPendingEvents() = 0;
};

}  // namespace tersify
