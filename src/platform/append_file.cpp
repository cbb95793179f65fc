#include "platform/append_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tersify::platform {

#ifdef _WIN32

bool AppendLineDurably(const std::string& path, std::string_view line) {
  int fd = _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  int n = _write(fd, line.data(), static_cast<unsigned>(line.size()));
  bool ok = n == static_cast<int>(line.size());
  if (!ok && n > 0) _write(fd, "\n", 1);
  ok = _commit(fd) == 0 && ok;
  _close(fd);
  return ok;
}

#else

bool AppendLineDurably(const std::string& path, std::string_view line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ssize_t n = ::write(fd, line.data(), line.size());
  bool ok = n == static_cast<ssize_t>(line.size());
  if (!ok && n > 0) (void)!::write(fd, "\n", 1);
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  return ok;
}

#endif

}  // namespace tersify::platform
