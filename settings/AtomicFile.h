#pragma once
// Replacing a file so that a failed or interrupted write never destroys the
// file that was there: the new contents go to a temporary file in the same
// folder, are flushed to disk and only then renamed over the target.
#include <string>
#include <string_view>

// Replaces (or creates) the file at `path` with `contents`. A file that is
// replaced keeps its permission bits; a symbolic link keeps its place and
// the file it points at is replaced. Throws std::runtime_error naming the
// cause (std::system_error when the system refused a step); the previous
// file is then untouched and no temporary file is left. A target that exists
// but is not a regular file (a folder, a device), or that this user may not
// write, is refused.
void WriteFileAtomically(const std::string& path, std::string_view contents);
