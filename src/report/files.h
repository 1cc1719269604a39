// Whole files out, with failures that name the file.
#pragma once

#include <string>

namespace analyser {

// Replaces the contents of path with text; throws Sys_error naming it when it
// cannot be written.
void write_file(const std::string& path, const std::string& text);

}  // namespace analyser
