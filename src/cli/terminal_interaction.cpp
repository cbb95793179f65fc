#include "cli/terminal_interaction.h"

#include <cerrno>

#include "cli/interrupt.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tersify::cli {

std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      c = '\n';
    }
    if (c == '\n' && out.empty()) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

void TerminalInteraction::MessageBox(const std::string& text, MessageKind kind) {
  const char* prefix = "";
  switch (kind) {
    case MessageKind::Error:
      prefix = "error: ";
      ++errors_;
      break;
    case MessageKind::Warning:
      prefix = "warning: ";
      break;
    case MessageKind::Information:
    case MessageKind::Confirmation:
      break;
  }
  Before();
  std::fprintf(err_, "tersify-cli: %s%s\n", prefix, TerminalText(text).c_str());
}

Answer TerminalInteraction::Question(const std::string& text, MessageKind kind, QuestionButtons buttons) {
  switch (buttons) {
    case QuestionButtons::YesNo:
      return Answer::No;
    case QuestionButtons::OkCancel:
      return Interrupted() ? Answer::Ok : Answer::Cancel;
    case QuestionButtons::YesYesToAll:
      MessageBox(text, kind == MessageKind::Confirmation ? MessageKind::Warning : kind);
      return Answer::Yes;
  }
  return Answer::No;
}

std::optional<OverwriteChoice> TerminalInteraction::AskOverwrite(const OverwriteQuestion& q) {
  if (sourcesAreOutputs && q.upperPath == q.lowerPath) return OverwriteChoice::Overwrite;
  switch (policy_) {
    case OverwritePolicy::All:
      return OverwriteChoice::OverwriteAll;
    case OverwritePolicy::Skip:
      return OverwriteChoice::SkipAll;
    case OverwritePolicy::Older:
      return q.olderAllowed ? OverwriteChoice::OverwriteAllOlder : OverwriteChoice::Skip;
    case OverwritePolicy::Ask:
      return Prompt(q);
    case OverwritePolicy::Fail:
      break;
  }
  refused_.push_back(q.upperPath);
  return OverwriteChoice::Skip;
}

std::optional<OverwriteChoice> ChoiceFromKey(const std::string& typed, bool olderAllowed) {
  if (typed.empty() || typed == "o") return OverwriteChoice::Overwrite;  // Enter: the default button
  if (typed == "a") return OverwriteChoice::OverwriteAll;
  if (typed == "s") return OverwriteChoice::Skip;
  if (typed == "k") return OverwriteChoice::SkipAll;
  if (typed == "l" && olderAllowed) return OverwriteChoice::OverwriteAllOlder;
  if (typed == "n") return OverwriteChoice::NewName;
  if (typed == "r") return OverwriteChoice::Rename;
  return std::nullopt;
}

std::optional<OverwriteChoice> TerminalInteraction::Prompt(const OverwriteQuestion& q) {
  Before();
  std::fprintf(err_, "\nOverwrite : %s\n            %s\n%s: %s\n            %s\n", q.upperPath.c_str(),
               q.upperInfo.c_str(), q.lowerCaption.c_str(), q.lowerPath.c_str(), q.lowerInfo.c_str());
  for (;;) {
    std::fprintf(err_,
                 "[o] Overwrite (Enter)  [a] Overwrite All  %s[s] Skip  [k] Skip All  [n] New name  "
                 "[r] Rename ? ",
                 q.olderAllowed ? "[l] Ovewrite All Older  " : "");
    std::fflush(err_);
    std::optional<std::string> line = ReadLine();
    if (!line || Interrupted()) {
      // No answer: this file is left alone and counted as refused.
      std::fputc('\n', err_);
      refused_.push_back(q.upperPath);
      return OverwriteChoice::Skip;
    }
    std::string typed = *line;
    while (!typed.empty() && (typed.back() == ' ' || typed.back() == '\t')) typed.pop_back();
    while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.erase(0, 1);
    if (auto choice = ChoiceFromKey(typed, q.olderAllowed)) return choice;
  }
}

std::optional<std::string> TerminalInteraction::InputBox(const std::string& title, const std::string& prompt,
                                                         const std::string& value) {
  if (policy_ != OverwritePolicy::Ask) return std::nullopt;
  Before();
  std::fprintf(err_, "%s - %s [%s]: ", title.c_str(), prompt.c_str(), value.c_str());
  std::fflush(err_);
  std::optional<std::string> line = ReadLine();
  if (!line || Interrupted()) {
    std::fputc('\n', err_);
    return std::nullopt;
  }
  return *line;
}

std::optional<std::string> TerminalInteraction::ReadLine() {
  std::string line;
  for (;;) {
    char c = 0;
#ifdef _WIN32
    int n = _read(inputFd_, &c, 1);
#else
    ssize_t n = read(inputFd_, &c, 1);
#endif
    if (n < 0 && errno == EINTR && !Interrupted()) continue;
    if (n <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n') break;
    if (c != '\r') line += c;
  }
  return line;
}

}  // namespace tersify::cli
