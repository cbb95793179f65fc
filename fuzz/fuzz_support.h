// Shared helpers of the fuzz targets: a byte reader that turns the input into
// choices, a user that answers from those choices, a catalogue of the English
// texts and a scratch folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "i18n/catalogue.h"
#include "i18n/interaction.h"
#include "i18n/language_file.h"

namespace tersify::fuzz {

// Stops the run when a property of the code under test does not hold, so the
// fuzzer records the input as a finding.
#define FUZZ_CHECK(cond)                                                               \
  do {                                                                                 \
    if (!(cond)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

// Takes choices from the front of the input; past its end every choice is 0.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  // A value in [0, n) for n > 0.
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Byte() % n; }
  // Text up to the next byte `end` (not included) or the end of the input.
  std::string_view Until(char end) {
    std::string_view rest = Rest();
    std::size_t at = rest.find(end);
    if (at == std::string_view::npos) at = rest.size();
    pos_ += at < rest.size() ? at + 1 : at;
    return rest.substr(0, at);
  }
  std::string_view Rest() const { return std::string_view(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A user who reads every box and answers questions from the input's choices.
class FuzzInteraction : public UserInteraction {
 public:
  explicit FuzzInteraction(ByteReader* choices = nullptr) : choices_(choices) {}

  void MessageBox(const std::string&, MessageKind) override { ++messages; }
  Answer Question(const std::string&, MessageKind, QuestionButtons buttons) override {
    bool first = choices_ ? choices_->Bool() : true;
    switch (buttons) {
      case QuestionButtons::YesNo:
        return first ? Answer::Yes : Answer::No;
      case QuestionButtons::OkCancel:
        return first ? Answer::Ok : Answer::Cancel;
      case QuestionButtons::YesYesToAll:
        return first ? Answer::Yes : Answer::YesToAll;
    }
    return Answer::No;
  }
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion&) override { return OverwriteChoice::Skip; }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void ProcessPendingEvents() override {}

  std::size_t messages = 0;

 private:
  ByteReader* choices_;
};

// The English catalogue, built from the program's own list of texts.
inline const MessageCatalogue& EnglishCatalogue() {
  static const MessageCatalogue catalogue = [] {
    std::string text = "[Misc]\r\n";
    for (const CatalogueEntry& e : CatalogueEntries()) {
      std::string english(e.english);
      std::string marked;
      for (char c : english) marked += c == '\r' ? std::string("*|*") : std::string(1, c);
      text += std::string(e.key) + ":string=" + marked + "\r\n";
    }
    return MessageCatalogue(std::make_shared<const LanguageFile>(LanguageFile::FromBytes(text, std::nullopt)));
  }();
  return catalogue;
}

// A scratch folder for the targets that go through files, made once per
// process under the system's temporary folder and removed at exit.
inline const std::filesystem::path& ScratchFolder(std::string_view target) {
  static const std::filesystem::path folder = [target] {
    std::filesystem::path p = std::filesystem::temp_directory_path() /
                              ("tersify-fuzz-" + std::string(target) + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(p);
    return p;
  }();
  // Registered once the folder's path is made, so it runs before the path is
  // destroyed at exit.
  static const bool removedAtExit = std::atexit([] {
                                      std::error_code ec;
                                      std::filesystem::remove_all(ScratchFolder({}), ec);
                                    }) == 0;
  (void)removedAtExit;
  return folder;
}

// Writes bytes to a file, replacing it.
inline bool WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Removes a file if it is there.
inline void RemoveFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

}  // namespace tersify::fuzz
