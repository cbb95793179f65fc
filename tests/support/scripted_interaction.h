// A scripted user for tests: records everything shown and answers from queues.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "i18n/interaction.h"

namespace tersify::testing {

class ScriptedInteraction : public UserInteraction {
 public:
  struct Shown {
    enum class Type { Message, Question, Overwrite, Input } type;
    std::string text;  // message or question text; input prompt; overwrite upper path
    MessageKind kind = MessageKind::Information;
    QuestionButtons buttons = QuestionButtons::YesNo;
    OverwriteQuestion overwrite;
    std::string title;  // input box title
    std::string value;  // input box proposed value
  };

  std::vector<Shown> shown;
  std::deque<Answer> answers;                                   // for Question
  std::deque<std::optional<OverwriteChoice>> overwriteAnswers;  // for AskOverwrite
  std::deque<std::optional<std::string>> inputs;                // for InputBox
  int pendingEventCalls = 0;
  // Called from ProcessPendingEvents, so a test can "press Break" mid-run.
  std::function<void(int call)> onPendingEvents;

  void MessageBox(const std::string& text, MessageKind kind) override {
    shown.push_back({Shown::Type::Message, text, kind, QuestionButtons::YesNo, {}, {}, {}});
  }
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override {
    shown.push_back({Shown::Type::Question, text, kind, buttons, {}, {}, {}});
    if (answers.empty()) throw std::logic_error("unexpected question: " + text);
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& q) override {
    shown.push_back(
        {Shown::Type::Overwrite, q.upperPath, MessageKind::Confirmation, QuestionButtons::YesNo, q, {}, {}});
    if (overwriteAnswers.empty()) throw std::logic_error("unexpected overwrite question for " + q.upperPath);
    auto a = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return a;
  }
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                      const std::string& value) override {
    shown.push_back({Shown::Type::Input, prompt, MessageKind::Information, QuestionButtons::YesNo, {}, title, value});
    if (inputs.empty()) throw std::logic_error("unexpected input box: " + prompt);
    auto a = inputs.front();
    inputs.pop_front();
    return a;
  }
  void ProcessPendingEvents() override {
    ++pendingEventCalls;
    if (onPendingEvents) onPendingEvents(pendingEventCalls);
  }

  // The texts of the message boxes shown, in order.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& s : shown)
      if (s.type == Shown::Type::Message) out.push_back(s.text);
    return out;
  }
};

}  // namespace tersify::testing
