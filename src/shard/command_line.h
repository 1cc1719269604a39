// tool-merge's command line: the shard files of a run, or a request for the
// usage text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace analyser::shard {

// Runs tool-merge on its arguments (the program's name left out): the usage
// text on err with status 2 when there is none, on out with status 0 for
// --help or -h alone, else the merge of the files they name (see merge in
// shard_file.h), whose status it returns.
int run_merge_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool err_is_terminal);

}  // namespace analyser::shard
