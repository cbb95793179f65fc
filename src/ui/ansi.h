// Conversion between the program's 8-bit texts (code page 1252) and Qt strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tersify::ui {

QString FromAnsi(std::string_view text);
std::string ToAnsi(const QString& text);  // characters outside the code page become '?'

}  // namespace tersify::ui
