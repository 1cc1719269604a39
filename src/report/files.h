// Whole files out, with failures that name the file.
#pragma once

#include <string>

namespace analyser {

// Replaces the contents of path with text, whole or not at all: text goes to a
// new file in path's folder, which is flushed to the disk and then renamed over
// path, so a reader sees the old contents or the new, never a part. The new
// file has the mode of the one it replaces, or else the mode a new file gets.
// Throws Sys_error naming path and the reason when it cannot be written; path
// is then as it was, and no file is left behind.
void write_file(const std::string& path, const std::string& text);

}  // namespace analyser
