#include "platform/read_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace tersify::platform {

namespace fs = std::filesystem;

std::optional<std::string> ReadPlainFile(const fs::path& path, std::size_t spare) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size < data.max_size() / 2) {
    data.reserve(static_cast<std::size_t>(size) + spare);
    data.resize(static_cast<std::size_t>(size));
    in.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    if (in.eof()) return data;
    in.clear();  // the file grew since its size was taken: read on
  }
  data.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

}  // namespace tersify::platform
