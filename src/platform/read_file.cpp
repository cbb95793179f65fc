#include "platform/read_file.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>

#include "platform/memory.h"

namespace tersify::platform {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Fail(std::error_code* why, std::error_code ec) {
  if (why) *why = ec;
  return std::nullopt;
}

std::error_code Errno() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

}  // namespace

std::optional<std::string> ReadPlainFile(const fs::path& path, std::size_t spare, std::error_code* why,
                                         std::size_t sparePer) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec) return Fail(why, ec);
  if (fs::is_directory(st)) return Fail(why, std::make_error_code(std::errc::is_a_directory));
  if (!fs::is_regular_file(st)) return Fail(why, {});
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(why, Errno());
  try {
    std::string data;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size < data.max_size() / 2) {
      data.reserve(static_cast<std::size_t>(size) + spare + (sparePer ? static_cast<std::size_t>(size) / sparePer : 0));
      // The room for CRs is mostly left unwritten: only the file's bytes are mapped now.
      MapForWriting(data.data(), data.capacity(), static_cast<std::size_t>(size));
      // Read through a piece the cache holds: the buffer is written once,
      // not filled with zeros first and then with the file.
      const auto pieceSize = static_cast<std::size_t>(std::min<std::uintmax_t>(256 * 1024, size));
      const std::unique_ptr<char[]> piece(new char[pieceSize]);
      while (data.size() < size) {
        in.read(piece.get(), static_cast<std::streamsize>(std::min<std::uintmax_t>(pieceSize, size - data.size())));
        data.append(piece.get(), static_cast<std::size_t>(in.gcount()));
        if (!in) break;
      }
      if (in.bad()) return Fail(why, Errno());
      if (in.eof()) return data;
      in.clear();  // the file grew since its size was taken: read on
    }
    data.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return Fail(why, Errno());
    return data;
  } catch (const std::bad_alloc&) {
    return Fail(why, std::make_error_code(std::errc::not_enough_memory));
  } catch (const std::length_error&) {
    return Fail(why, std::make_error_code(std::errc::not_enough_memory));
  }
}

}  // namespace tersify::platform
