// What the main window keeps about the current or last run.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "i18n/interaction.h"

namespace tersify {

class MessageCatalogue;
struct OptimizationSettings;

// What the commands read at the moment of use and whom they tell.
struct UserContext {
  const OptimizationSettings& settings;
  const MessageCatalogue& catalogue;
  UserInteraction& ui;
};

// What the main window is busy with.
enum class Busy { None, Opt, Path };

// The overwrite question's remembered answers.
struct OverwriteMemory {
  OverwriteChoice backupChoice = OverwriteChoice::Overwrite;
  OverwriteChoice outputChoice = OverwriteChoice::Overwrite;
  bool askBeforeBackupOverwrite = true;
  bool askBeforeOutputOverwrite = true;
  std::string chosenName;

  // Both steps ask again at their first collision of a run.
  void StartRun() { askBeforeBackupOverwrite = askBeforeOutputOverwrite = true; }
};

// Sizes and ratios of a run. Sizes are 64-bit so large files count right.
struct RunStatistics {
  std::int64_t sizeBefore = 0;
  std::int64_t sizeAfter = 0;
  std::int64_t totalBefore = 0;
  std::int64_t totalAfter = 0;
  std::int64_t ratioSum = 0;
  int maxRatio = 0;
  int files = 0;

  void Reset() { *this = RunStatistics(); }
  // Counts one file that went through the save step.
  void AddFile(std::int64_t before, std::int64_t after);
  std::int64_t BytesRemoved() const { return totalBefore - totalAfter; }
  // The average ratio, truncated toward zero; 0 when no file was counted.
  std::int64_t AverageRatio() const;
};

// The percentage of bytes removed: 100 minus after/before*100 rounded with
// halves to even. A file of zero bytes has the ratio 0.
int OptimizationRatio(std::int64_t before, std::int64_t after);

struct RunState {
  Busy BusyState = Busy::None;
  bool cancelRequested = false;
  bool cancelConfirmed = false;
  bool clockRunning = false;
  std::chrono::steady_clock::time_point startTime{};
  std::vector<std::string> LastRunFiles;
  RunStatistics stats;
  OverwriteMemory overwrite;
  // "Cancel last optimization" can be chosen.
  bool backUpLastEnabled = false;
  // The missing-backup warning is shown during a restoration.
  bool askMissingBackup = false;
};

}  // namespace tersify
