// Pieces both benchmark programs use: a user who answers nothing and whole-file reading.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "i18n/interaction.h"

namespace tersify::bench {

class SilentUser : public UserInteraction {
 public:
  void MessageBox(const std::string&, MessageKind) override {}
  Answer Question(const std::string&, MessageKind, QuestionButtons) override { return Answer::Ok; }
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion&) override { return std::nullopt; }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void ProcessPendingEvents() override {}
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tersify::bench
