#include "run/file_ops.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "i18n/catalogue.h"
#include "platform/durable.h"
#include "platform/paths.h"
#include "platform/read_file.h"
#include "run/date_text.h"
#include "run/paths.h"

namespace tersify {

namespace fs = std::filesystem;

std::int64_t FileSizeOf(const std::string& path) {
  std::error_code ec;
  auto size = fs::file_size(path, ec);
  if (ec) return -1;
  return static_cast<std::int64_t>(size);
}

std::string TemporaryPathBeside(const std::string& target) {
  std::random_device rd;
  std::uint64_t tag = (std::uint64_t(rd()) << 32) ^ rd();
  char hex[17];
  for (int i = 15; i >= 0; --i, tag >>= 4) hex[i] = "0123456789abcdef"[tag & 15];
  hex[16] = 0;
  return FolderOf(target) + std::string(kTempPrefix) + NameOf(target) + "." + hex + std::string(kTempSuffix);
}

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

bool IsTemporaryName(std::string_view name) {
  return name.size() > kTempPrefix.size() + kTempSuffix.size() && name.starts_with(kTempPrefix) &&
         name.ends_with(kTempSuffix);
}

int CleanLeftoverTemporaries(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2) || !IsTemporaryName(it->path().filename().string())) continue;
    if (fs::remove(it->path(), e2)) ++removed;
  }
  return removed;
}

// Renames `temp` over `target`, giving it the target's permissions first.
// On the disk means: the temporary's bytes before the rename, the folder's
// entry after it.
static bool PutInPlace(const std::string& temp, const std::string& target, Durability durability) {
  std::error_code ec;
  auto st = fs::status(target, ec);
  if (!ec && fs::exists(st)) fs::permissions(temp, st.permissions(), ec);
  if (durability == Durability::OnDisk && !platform::FlushFileToDisk(temp))
    ec = std::make_error_code(std::errc::io_error);
  else
    fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignore;
    fs::remove(temp, ignore);
    return false;
  }
  if (durability == Durability::OnDisk) platform::FlushFolderToDisk(FolderOf(target));
  return true;
}

bool WriteFileAtomically(const std::string& target, std::string_view bytes, Durability durability) {
  if (FolderExists(target)) return false;
  std::string temp = TemporaryPathBeside(target);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignore;
      fs::remove(temp, ignore);
      return false;
    }
  }
  return PutInPlace(temp, target, durability);
}

bool CopyFileTo(const std::string& source, const std::string& target, bool keepTime, Durability durability) {
  std::string to = target;
  if (FolderExists(to)) to = WithTrailingDelim(to) + NameOf(source);
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  std::string temp = TemporaryPathBeside(to);
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  char chunk[8192];
  while (in) {
    in.read(chunk, sizeof chunk);
    out.write(chunk, in.gcount());
  }
  bool readOk = in.eof() && !in.bad();
  out.close();
  std::error_code ec;
  if (!readOk || !out) {
    fs::remove(temp, ec);
    return false;
  }
  if (keepTime) {
    auto t = fs::last_write_time(source, ec);
    if (!ec) fs::last_write_time(temp, t, ec);
  }
  return PutInPlace(temp, to, durability);
}

MoveResult MoveFileTo(const std::string& source, const std::string& target) {
  std::error_code ec;
  fs::path to = fs::absolute(target, ec);
  if (ec) return MoveResult::Failed;
  if (!fs::exists(to, ec)) {
    fs::rename(source, to, ec);
    if (!ec) return MoveResult::Moved;
  }
  auto st = fs::status(source, ec);
  if (ec || (st.permissions() & fs::perms::owner_write) == fs::perms::none) return MoveResult::Failed;
  return CopyFileTo(source, to.string(), false, Durability::OnDisk) ? MoveResult::Copied : MoveResult::Failed;
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

std::optional<std::string> ReadWholeFile(const std::string& path) {
  // Room for the line break the document may add at its end.
  return platform::ReadPlainFile(path, 2);
}

}  // namespace tersify
