#include "cli/terminal_interaction.h"

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
    case MessageKind::Error: prefix = "error: "; ++errors_; break;
    case MessageKind::Warning: prefix = "warning: "; break;
    case MessageKind::Information:
    case MessageKind::Confirmation: break;
  }
  std::fprintf(err_, "tersify-cli: %s%s\n", prefix, TerminalText(text).c_str());
}

Answer TerminalInteraction::Question(const std::string& text, MessageKind, QuestionButtons buttons) {
  (void)text;
  switch (buttons) {
    case QuestionButtons::YesNo: return Answer::No;
    case QuestionButtons::OkCancel: return Answer::Cancel;
    case QuestionButtons::YesYesToAll: return Answer::Yes;
  }
  return Answer::No;
}

std::optional<OverwriteChoice> TerminalInteraction::AskOverwrite(const OverwriteQuestion&) {
  return OverwriteChoice::Skip;
}

std::optional<std::string> TerminalInteraction::InputBox(const std::string&, const std::string&, const std::string&) {
  return std::nullopt;
}

}  // namespace tersify::cli
