// Giving a newly written file the owner, group and permissions of the file it
// replaces or copies, so that rewriting a page (as root, say) does not change
// who owns it or who may read it.
#pragma once

#include <cstdio>
#include <string>
#include <system_error>

namespace tersify::platform {

// Gives the open `file` (at `path`) the permission bits of `model` and, where
// the process may set them, its owner and group: a process that may not
// (EPERM) keeps what it can, the group alone or neither. Answers the error
// when `model` cannot be read or the bits cannot be set.
std::error_code TakeOwnerAndMode(std::FILE* file, const std::string& path, const std::string& model);

}  // namespace tersify::platform
