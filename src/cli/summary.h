// The results of a run as the results window shows them, as text or JSON.
#pragma once

#include <string>

#include "cli/batch.h"

namespace tersify::cli {

std::string SummaryText(const BatchReport& report);
std::string SummaryJson(const BatchReport& report);
std::string RestoreSummaryText(const RestoreReport& report, bool inPlace);
std::string RestoreSummaryJson(const RestoreReport& report);

// A JSON string literal; bytes that are no valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace tersify::cli
