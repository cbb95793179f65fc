// Tools of the fault-injection tests: immutable flags that stop even root,
// small tmpfs mounts (full disks, other volumes) and a forked child with a
// file size limit. Each tool says when the machine cannot provide it, so the
// test can skip cleanly.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tersify::testing {

// Sets or clears the immutable flag of a file or folder: no entry can then be
// added, removed or renamed there, and an immutable file cannot be changed or
// linked, also by root. False when the file system does not support it.
inline bool SetImmutable(const std::string& path, bool on) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

// Clears the flag again however the test ends.
class ImmutableGuard {
 public:
  explicit ImmutableGuard(std::string path) : path_(std::move(path)) { ok_ = SetImmutable(path_, true); }
  ~ImmutableGuard() { Release(); }
  void Release() {
    if (ok_) SetImmutable(path_, false);
    ok_ = false;
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// A tmpfs of `bytes` mounted on `folder` (created when missing); unmounted at
// the end. `mounted()` is false where mounting is not allowed.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& folder, long long bytes) : folder_(folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// A fresh folder in /dev/shm (a tmpfs on Linux), with a trailing "/";
// removed at the end.
class ShmFolder {
 public:
  ShmFolder() {
    std::random_device rd;
    path_ = "/dev/shm/tersify-" + std::to_string(::getpid()) + "-" + std::to_string(rd()) + "/";
    std::error_code ec;
    std::filesystem::create_directories(path_, ec);
  }
  ~ShmFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ShmFolder(const ShmFolder&) = delete;
  ShmFolder& operator=(const ShmFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// True when both paths lie on different file systems.
inline bool OnDifferentVolumes(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev != sb.st_dev;
}

// What a child process reported back (line breaks inside a line come as "\\n").
struct ChildReport {
  bool exited = false;
  int code = -1;
  std::vector<std::string> lines;  // what the child wrote, one entry per line
};

// Runs `body` in a forked child whose files may not grow beyond `maxFileBytes`
// (0: no limit); writes past the limit fail with EFBIG instead of killing it.
// `body` returns the exit code and gets a writer for report lines.
inline ChildReport RunInChild(long long maxFileBytes,
                              const std::function<int(const std::function<void(const std::string&)>&)>& body) {
  int fds[2];
  ChildReport report;
  if (::pipe(fds) != 0) return report;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    if (maxFileBytes > 0) {
      struct rlimit limit {};
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(maxFileBytes);
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    auto say = [&](const std::string& line) {
      std::string l;
      for (char c : line) l += c == '\n' ? std::string("\\n") : std::string(1, c);
      l += '\n';
      ssize_t ignored = ::write(fds[1], l.data(), l.size());
      (void)ignored;
    };
    int code = body(say);
    ::close(fds[1]);
    std::_Exit(code);
  }
  ::close(fds[1]);
  std::string all;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) all.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  report.exited = WIFEXITED(status);
  report.code = report.exited ? WEXITSTATUS(status) : -1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (all[i] == '\n') {
      report.lines.push_back(all.substr(start, i - start));
      start = i + 1;
    }
  return report;
}

}  // namespace tersify::testing
