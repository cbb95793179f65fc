#include "platform/ownership.h"

#include <cerrno>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tersify::platform {

#ifdef _WIN32

// Files take their rights from their folder; only the read-only mark is kept.
std::error_code TakeOwnerAndMode(std::FILE*, const std::string& path, const std::string& model) {
  std::error_code ec;
  const auto perms = std::filesystem::status(model, ec).permissions();
  if (!ec) std::filesystem::permissions(path, perms, ec);
  return ec;
}

#else

std::error_code TakeOwnerAndMode(std::FILE* file, const std::string&, const std::string& model) {
  struct stat st {};
  if (::stat(model.c_str(), &st) != 0) return {errno, std::generic_category()};
  const int fd = ::fileno(file);
  // Owner first: a change of owner clears the set-id bits that the mode then
  // puts back. A user who may not give the file away may still keep its group.
  if (::fchown(fd, st.st_uid, st.st_gid) != 0 && errno == EPERM &&
      ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
    // Neither: the file stays the process's own.
  }
  if (::fchmod(fd, st.st_mode & 07777) != 0) return {errno, std::generic_category()};
  return {};
}

#endif

}  // namespace tersify::platform
