// The tag removal and tag replacement tables.
#pragma once

#include <string>
#include <vector>

namespace tersify {

struct TagRemovalEntry {
  std::string tag;
  bool ticked = true;
};

struct TagReplacementEntry {
  std::string from;
  std::string to;
  bool ticked = true;
};

using TagRemovalTable = std::vector<TagRemovalEntry>;
using TagReplacementTable = std::vector<TagReplacementEntry>;

}  // namespace tersify
