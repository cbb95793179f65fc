#include "run/file_ops.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "i18n/catalogue.h"
#include "platform/durable.h"
#include "platform/ownership.h"
#include "platform/paths.h"
#include "platform/read_file.h"
#include "run/date_text.h"
#include "run/paths.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

std::error_code Errno() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

bool Report(std::error_code* why, std::error_code ec) {
  if (why) *why = ec;
  return !ec;
}

// A temporary file being written; removed again unless it was put in place.
class Temporary {
 public:
  Temporary() = default;
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;
  ~Temporary() {
    if (file_) std::fclose(file_);
    std::error_code ignore;
    if (!placed_ && !path_.empty()) fs::remove(path_, ignore);
  }

  // Creates the temporary beside `target`, under a name no file has yet.
  std::error_code Open(const std::string& target) {
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string path = TemporaryPathBeside(target);
      errno = 0;
      file_ = std::fopen(path.c_str(), "wbx");
      if (file_) {
        // Pages are written in one piece: each write goes straight to the
        // system rather than through the stream's buffer.
        std::setvbuf(file_, nullptr, _IONBF, 0);
        path_ = std::move(path);
        return {};
      }
      if (errno != EEXIST) return Errno();
    }
    return std::make_error_code(std::errc::file_exists);
  }

  std::error_code Write(const char* data, std::size_t size) {
    errno = 0;
    return std::fwrite(data, 1, size, file_) == size ? std::error_code() : Errno();
  }

  // Ends the writing: the owner and mode of `model` (when given), the
  // last-write time `time` (when given), the bytes on the disk with OnDisk.
  std::error_code Close(const std::string& model, const std::optional<fs::file_time_type>& time,
                        Durability durability) {
    errno = 0;
    if (std::fflush(file_) != 0) return Errno();
    // A file system without owners or modes (or a model that went away
    // meanwhile) does not stop the write, as it never did.
    if (!model.empty()) (void)platform::TakeOwnerAndMode(file_, path_, model);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return Errno();
    std::error_code ec;
    if (time) fs::last_write_time(path_, *time, ec);
    if (ec) return ec;
    if (durability == Durability::OnDisk && !platform::FlushFileToDisk(path_))
      return std::make_error_code(std::errc::io_error);
    return {};
  }

  // Renames the temporary over `target`; with OnDisk the folder's entry is
  // flushed after it.
  std::error_code PutInPlace(const std::string& target, Durability durability) {
    std::error_code ec;
    fs::rename(path_, target, ec);
    if (ec) return ec;
    placed_ = true;
    if (durability == Durability::OnDisk) platform::FlushFolderToDisk(FolderOf(target));
    return {};
  }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool placed_ = false;
};

// Copies `source` to `to` through a temporary. The copy takes the owner and
// mode of `model` (the source, or the target it replaces).
std::error_code CopyThrough(const std::string& source, const std::string& to, const std::string& model, bool keepTime,
                            Durability durability) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(source.c_str(), "rb"), &std::fclose);
  if (!in) return Errno();
  std::optional<fs::file_time_type> time;
  std::error_code ec;
  if (keepTime) {
    time = fs::last_write_time(source, ec);
    if (ec) return ec;
  }
  Temporary temp;
  if ((ec = temp.Open(to))) return ec;
  std::vector<char> chunk(1 << 16);
  for (;;) {
    errno = 0;
    const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
    if (n > 0 && (ec = temp.Write(chunk.data(), n))) return ec;
    if (n < chunk.size()) {
      if (std::ferror(in.get())) return Errno();
      break;
    }
  }
  if ((ec = temp.Close(model, time, durability))) return ec;
  return temp.PutInPlace(to, durability);
}

}  // namespace

std::string ReasonText(const std::error_code& ec) {
  if (!ec) return {};
  if (ec == std::errc::not_enough_memory) return "not enough memory";
  std::string text = ec.message();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

std::string ReasonSuffix(const std::error_code& ec) { return ec ? ": " + ReasonText(ec) : std::string(); }

std::int64_t FileSizeOf(const std::string& path) {
  std::error_code ec;
  auto size = fs::file_size(path, ec);
  if (ec) return -1;
  return static_cast<std::int64_t>(size);
}

std::string TemporaryPathBeside(const std::string& target) { return FolderOf(target) + platform::NewTemporaryName(); }

bool SameDirectoryEntry(const std::string& a, const std::string& b) {
  const fs::path pa(a), pb(b);
  if (platform::NormalizePathCase(pa.filename().string()) != platform::NormalizePathCase(pb.filename().string()))
    return false;
  const fs::path fa = pa.has_parent_path() ? pa.parent_path() : fs::path(".");
  const fs::path fb = pb.has_parent_path() ? pb.parent_path() : fs::path(".");
  std::error_code ec;
  const bool same = fs::equivalent(fa, fb, ec);
  return !ec && same;
}

int CleanLeftoverTemporaries(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2) || it->is_symlink(e2) || !IsTemporaryName(it->path().filename().string())) continue;
    if (fs::remove(it->path(), e2)) ++removed;
  }
  return removed;
}

bool WriteFileAtomically(const std::string& target, std::string_view bytes, Durability durability,
                         std::error_code* why) {
  if (FolderExists(target)) return Report(why, std::make_error_code(std::errc::is_a_directory));
  Temporary temp;
  std::error_code ec = temp.Open(target);
  if (!ec) ec = temp.Write(bytes.data(), bytes.size());
  if (!ec) ec = temp.Close(FileExists(target) ? target : std::string(), std::nullopt, durability);
  if (!ec) ec = temp.PutInPlace(target, durability);
  return Report(why, ec);
}

bool CopyFileTo(const std::string& source, const std::string& target, bool keepTime, Durability durability,
                std::error_code* why) {
  std::string to = target;
  if (FolderExists(to)) to = WithTrailingDelim(to) + NameOf(source);
  return Report(why, CopyThrough(source, to, FileExists(to) ? to : source, keepTime, durability));
}

bool CopyForMove(const std::string& source, const std::string& target, std::error_code* why) {
  return Report(why, CopyThrough(source, target, source, true, Durability::OnDisk));
}

MoveResult MoveFileTo(const std::string& source, const std::string& target, std::error_code* why) {
  auto failed = [why](std::error_code ec) {
    Report(why, ec);
    return MoveResult::Failed;
  };
  std::error_code ec;
  fs::path to = fs::absolute(target, ec);
  if (ec) return failed(ec);
  if (!fs::exists(to, ec)) {
    fs::rename(source, to, ec);
    if (!ec) return Report(why, ec) ? MoveResult::Moved : MoveResult::Failed;
    if (ec == std::errc::cross_device_link) {
      // Another file system: the copy is whole on the disk before the
      // original goes.
      if (!CopyForMove(source, to.string(), why)) return MoveResult::Failed;
      fs::remove(source, ec);
      return Report(why, ec) ? MoveResult::Moved : MoveResult::Copied;
    }
  }
  auto st = fs::status(source, ec);
  if (ec) return failed(ec);
  if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
    return failed(std::make_error_code(std::errc::permission_denied));
  return CopyFileTo(source, to.string(), false, Durability::OnDisk, why) ? MoveResult::Copied : MoveResult::Failed;
}

std::optional<std::string> FileDateTextOf(const std::string& path) {
  std::error_code ec;
  auto t = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  auto sys = std::chrono::file_clock::to_sys(t);
  return LocalDateTimeText(std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
}

std::string FileDateText(const std::string& path, UserInteraction& ui) {
  auto text = FileDateTextOf(path);
  if (text) return *text;
  ShowMessageBox(ui, path, MessageKind::Information);
  return {};
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::error_code* why) {
  // Room for the line break the document may add at its end, and for a CR
  // before each LF of a page with LF breaks (lines of eight bytes or more on
  // average), so the document takes its form in this buffer. Room that is
  // not written to takes no memory.
  return platform::ReadPlainFile(path, 2, why, 8);
}

}  // namespace tersify
