// The model a report analyses: its four input files, named on the command line
// as a model folder or one by one, each read once at the start. The analysis
// parses these texts and the written reports show them, so what a report shows
// is what was analysed, and a FIFO or a file edited during the run is read once.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace analyser {

struct InputFile {
  std::string role;  // "principals", "logic", "join", "knowledge" or "claim"
  std::string path;
  std::string text;
};

// Input the report refuses before any verdict: what to tell the user, one line
// each, without a line end. Either one message about the command line's
// arguments (which the program names itself in), or the diagnostics
// ("FILE:LINE:COLUMN: error: ...") of what is wrong inside the files.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message)
      : std::runtime_error(message), lines_{message}, located_(false) {}
  explicit InputError(std::vector<std::string> diagnostics)
      : std::runtime_error(diagnostics.empty() ? "" : diagnostics.front()),
        lines_(std::move(diagnostics)),
        located_(true) {}
  const std::vector<std::string>& lines() const { return lines_; }
  bool located() const { return located_; }

 private:
  std::vector<std::string> lines_;
  bool located_;
};

// The file names a model folder holds, in the order of the command line.
inline constexpr const char* kModelFileNames[] = {"principals.txt", "logic.txt", "join.txt",
                                                  "knowledge.txt"};

// The input files the arguments name (texts not read): a model folder, or the
// principals, logic, join and knowledge files. Throws InputError for any other
// number of arguments or a single argument that is no folder.
std::vector<InputFile> model_files(const std::vector<std::string>& arguments);

// The role of a file of more claims (--claim).
inline constexpr const char* kClaimRole = "claim";

// The claim files the paths name (texts not read), in order.
std::vector<InputFile> claim_files(const std::vector<std::string>& paths);

// Reads the text of each file. Throws InputError naming the file by its role
// and path and saying what is wrong ("logic file 'x': is a directory").
void read_texts(std::vector<InputFile>& files);

// An output the command line asks for: the option and its path.
struct OutputPath {
  std::string option;  // "--html", "--json" or "--svg-dir"
  std::string path;
};

// Throws InputError when an output would replace an input file or another
// output: the same path (however written), or a chart of the --svg-dir folder
// (attack-K.svg) standing where an input or another output is.
void check_outputs(const std::vector<InputFile>& inputs, const std::vector<OutputPath>& outputs);

}  // namespace analyser
