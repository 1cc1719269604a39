// The program entry: reads the command line and the four input files, then runs
// the analysis. A failure that nothing handles ends the run with status 2.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>
#include <vector>

#include "driver/gviz.h"
#include "driver/parsecmdline.h"
#include "logic/pl_parser.h"
#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "search/tracer.h"
#include "utils/utils.h"

namespace {

// Standard output through one large buffer: traces and graphs are long, and the
// search writes them a few bytes at a time.
class StdoutBuffer : public std::streambuf {
 public:
  StdoutBuffer() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  ~StdoutBuffer() override { sync(); }

  // The system error of the first write that failed, 0 when none did.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const char* p = pbase();
    while (p < pptr()) {
      const ssize_t written = ::write(STDOUT_FILENO, p, static_cast<std::size_t>(pptr() - p));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        if (error_ == 0) error_ = written < 0 ? errno : EIO;
        return -1;
      }
      p += written;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return 0;
  }

 private:
  std::vector<char> buffer_ = std::vector<char>(1 << 20);  // 1 MiB
  int error_ = 0;
};

// Opens path as the tokenizer's input, parses it with parse, and ends the run
// with failure_text after the parser's report when parse leaves an error code.
template <typename Parse, typename ErrorCode, typename ErrorMessage>
auto read_file(const std::string& path, Parse parse, ErrorCode error_code,
               ErrorMessage error_message, const std::string& failure_text) {
  tokenizer::open_input(path);
  auto result = parse();
  if (error_code() != 0) {
    out() << error_message();
    throw syntax_failure(failure_text);
  }
  tokenizer::close_input();
  return result;
}

// Principals in the reverse of their order in the file.
std::vector<Principal> read_principals(const std::string& path) {
  tokenizer::open_input(path);
  std::vector<Principal> principals;
  while (parser::more_principals()) {
    principals.push_back(parser::parse_principal());
    if (parser::error_code() != 0) {
      out() << parser::error_message();
      throw syntax_failure("\nSyntax error in parsing principals\n");
    }
  }
  tokenizer::close_input();
  std::reverse(principals.begin(), principals.end());
  return principals;
}

void run(const std::vector<std::string>& args) {
  Settings settings = default_settings();
  if (args.size() < 2) {
    print_usage(false);
    return;
  }
  parse_command_line(args, settings);
  if (!settings.error.empty()) {
    out() << "\n" << settings.error << "\n";
    return;
  }
  if (settings.help) {
    print_usage(true);
    return;
  }
  if (settings.principals_file.empty() || settings.logic_file.empty() ||
      settings.join_file.empty() || settings.knowledge_file.empty()) {
    print_usage(false);
    return;
  }

  const Formula formula =
      read_file(settings.logic_file, pl_parser::parse_formula, pl_parser::error_code,
                pl_parser::error_message, "\nSyntax error in parsing formula\n");
  const Formula join_components =
      read_file(settings.join_file, pl_parser::parse_formula, pl_parser::error_code,
                pl_parser::error_message, "\nSyntax error in parsing join components\n");
  const std::vector<Message> knowledge =
      read_file(settings.knowledge_file, pl_parser::parse_knowledge, pl_parser::error_code,
                pl_parser::error_message, "\nSyntax error in parsing knowledge\n");
  const std::vector<Principal> principals = read_principals(settings.principals_file);

  SearchState state = tracer::create(principals, knowledge, settings);
  tracer::join(state, formula, join_components);
  const bool graph = settings.mode == OutputMode::Graph;
  if (graph) graph_header("prova");
  tracer::search(state, write_path);
  if (graph) graph_footer();
  if (settings.feedback) tracer::print_statistics(std::cerr, state);
}

// The report of a failure that ends the run; returns the exit status.
int fatal(const char* description) {
  out().flush();
  std::cerr << "Fatal error: exception " << description << "\n" << std::flush;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  StdoutBuffer stdout_buffer;
  std::streambuf* const original = std::cout.rdbuf(&stdout_buffer);
  int status = 0;
  try {
    run(std::vector<std::string>(argv, argv + argc));
  } catch (const Failure& failure) {
    status = fatal(failure.description());
  } catch (const std::bad_alloc&) {
    status = fatal("Out_of_memory");
  } catch (const std::exception& e) {
    status = fatal(e.what());
  }
  // Results that could not be written must not pass for a successful run.
  if (!std::cout.flush() && status == 0) {
    status = fatal(sys_error(std::strerror(stdout_buffer.error())).description());
  }
  std::cout.rdbuf(original);
  return status;
}
