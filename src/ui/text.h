// The core's texts (messages, captions, paths) are UTF-8; these convert them.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tersify::ui {

inline QString ToQ(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQ(const QString& text) { return text.toStdString(); }

}  // namespace tersify::ui
