// Ctrl-C: the first one sets a flag that the run checks at its cancel points;
// a second one ends the program at once (files are still never half written).
#pragma once

namespace tersify::cli {

void InstallInterruptHandler();
bool Interrupted();

inline constexpr int kExitInterrupted = 130;

}  // namespace tersify::cli
