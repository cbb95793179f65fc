// Reading a file's bytes into the document and writing the document back.
#include "engine/engine.h"
#include "engine/text.h"

namespace tersify {

std::string LoadDocumentText(std::string_view fileBytes) {
  return engine::RebuildLines<char>(fileBytes, [](std::string_view line, std::string& out) {
    engine::AppendLine<char>(out, line);
  });
}

std::string SaveDocumentText(std::string_view text) { return LoadDocumentText(text); }

}  // namespace tersify
