#include "run/target_path.h"

#include <filesystem>
#include <system_error>

#include "run/paths.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

fs::path Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return (ec ? fs::path(path) : p).lexically_normal();
}

}  // namespace

std::string PathBelow(const std::string& file, const std::string& root) {
  if (file.empty() || root.empty()) return {};
  fs::path rel = Absolute(file).lexically_relative(Absolute(root));
  if (rel.empty() || rel == ".") return {};
  // Every step must go down: ".." would climb out of the output folder.
  for (const fs::path& part : rel)
    if (part == ".." || part == ".") return {};
  return rel.make_preferred().string();
}

void TargetLayout::AddFound(const std::string& source, const std::string& root) {
  if (!tree_) return;
  std::string rel = PathBelow(source, root);
  if (!rel.empty()) relative_.try_emplace(source, std::move(rel));
}

std::string TargetLayout::RelativePath(const std::string& source) const {
  auto it = relative_.find(source);
  return it != relative_.end() ? it->second : NameOf(source);
}

std::string OutputPathFor(const std::string& source, const OptimizationSettings& s, const TargetLayout* layout) {
  if (s.radModifyOld) return source;
  return layout ? layout->Below(s.edOptimizedPath, source) : InFolder(s.edOptimizedPath, NameOf(source));
}

std::string BackupPathFor(const std::string& source, const OptimizationSettings& s, const TargetLayout* layout) {
  return layout ? layout->Below(s.edBackUpPath, source) : InFolder(s.edBackUpPath, NameOf(source));
}

std::string TargetLayout::Below(const std::string& folder, const std::string& source) const {
  return InFolder(folder, RelativePath(source));
}

bool MakeFoldersFor(const std::string& target) {
  std::string folder = FolderOf(target);
  if (folder.empty() || FolderExists(folder)) return true;
  std::error_code ec;
  fs::create_directories(folder, ec);
  return FolderExists(folder);
}

}  // namespace tersify
