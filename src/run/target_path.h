// Where a page's optimized copy and its backup go below the output and backup
// folders. Flat: the page's name alone, so same-named pages from different
// folders meet. Tree: the path the page has below the folder it was found in,
// so a site's layout is kept; pages named one by one go to the top.
#pragma once

#include <string>
#include <unordered_map>

#include "settings/options.h"

namespace tersify {

// The path of `file` below `root`, with the system's separators; empty when
// `file` does not lie below `root` (lexically, after making both absolute).
std::string PathBelow(const std::string& file, const std::string& root);

class TargetLayout {
 public:
  // A flat layout unless `tree`.
  explicit TargetLayout(bool tree = false) : tree_(tree) {}

  bool tree() const { return tree_; }
  // `source` was found by walking the folder `root`; the first root given for
  // a source stands.
  void AddFound(const std::string& source, const std::string& root);
  // The path of `source` below an output or backup folder.
  std::string RelativePath(const std::string& source) const;
  // The relative path inside `folder`.
  std::string Below(const std::string& folder, const std::string& source) const;

 private:
  bool tree_;
  std::unordered_map<std::string, std::string> relative_;
};

// Where the run writes the optimized page of `source`: below the output folder
// (by `layout`, flat when null), or the source itself when sources are modified.
std::string OutputPathFor(const std::string& source, const OptimizationSettings& s, const TargetLayout* layout);
// Where the run keeps the original of `source` below the backup folder.
std::string BackupPathFor(const std::string& source, const OptimizationSettings& s, const TargetLayout* layout);

// Makes the missing folders above `target`; true when its folder exists then.
bool MakeFoldersFor(const std::string& target);

}  // namespace tersify
