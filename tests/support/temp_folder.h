// A temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tersify::testing {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("tersify-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    fs::create_directories(root_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // A path inside the folder; a trailing "/" is kept for folders.
  std::string Path(const std::string& rel) const { return (root_ / rel).string(); }
  std::string Folder(const std::string& rel) const {
    fs::create_directories(root_ / rel);
    return (root_ / rel).string() + "/";
  }
  std::string Write(const std::string& rel, const std::string& bytes) const {
    fs::path p = root_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

}  // namespace tersify::testing
