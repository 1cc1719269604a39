#include "driver/parsecmdline.h"

#include <limits>

#include "utils/utils.h"

namespace analyser {

Settings default_settings() {
  return Settings{};
}

namespace {

// The value of c as a digit of base, or -1.
int digit_value(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// Stores a positional argument in the first file field still empty; false when
// all four are taken.
bool store_file_name(Settings& settings, const std::string& name) {
  for (std::string* field : {&settings.principals_file, &settings.logic_file, &settings.join_file,
                             &settings.knowledge_file}) {
    if (field->empty()) {
      *field = name;
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::int64_t> parse_integer(const std::string& text) {
  std::size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    switch (text[i + 1]) {
      case 'x':
        base = 16;
        break;
      case 'o':
        base = 8;
        break;
      case 'b':
        base = 2;
        break;
      default:
        break;
    }
    if (base != 10) i += 2;
  }
  // The magnitude may reach 2^63 for the most negative value.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  bool any_digit = false;
  for (; i < text.size(); ++i) {
    if (text[i] == '_' && any_digit) continue;
    const int d = digit_value(text[i], base);
    if (d < 0) return std::nullopt;
    const auto ud = static_cast<std::uint64_t>(d);
    if (magnitude > (limit - ud) / static_cast<std::uint64_t>(base)) return std::nullopt;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + ud;
    any_digit = true;
  }
  if (!any_digit) return std::nullopt;
  if (!negative) return static_cast<std::int64_t>(magnitude);
  // -2^63 has no positive counterpart: negate in unsigned arithmetic.
  return static_cast<std::int64_t>(~magnitude + 1);
}

GraphFields graph_fields_of_int(std::int64_t n) {
  return GraphFields{
      .context = n >= 8,
      .action = n % 8 >= 4,
      .knowledge = n % 4 >= 2,
      .assignment = n % 2 == 1,
  };
}

void parse_command_line(const std::vector<std::string>& args, Settings& settings) {
  // The integer argument after option word i, if there is one.
  auto integer_after = [&args](std::size_t i) -> std::optional<std::int64_t> {
    if (i + 1 >= args.size()) return std::nullopt;
    return parse_integer(args[i + 1]);
  };
  std::size_t i = 1;
  while (i < args.size()) {
    const std::string& a = args[i];
    if (a == "--feedback" || a == "-f") {
      settings.search.feedback = true;
    } else if (a == "--help" || a == "-h") {
      settings.help = true;
    } else if (a == "--interactive" || a == "-i") {
      settings.interactive = true;
    } else if (a == "--session" || a == "-max" || a == "-nprinc") {
      const auto n = integer_after(i);
      if (!n) {
        settings.error = "number of principal in a session required";
        return;
      }
      settings.search.session_size = *n;
      ++i;
    } else if (a == "--terminal" || a == "-t") {
      settings.search.terminal_only = true;
    } else if (a == "-G") {
      settings.search.mode = OutputMode::Graph;
      const auto n = integer_after(i);
      if (!n) {
        settings.error = "-G requires numeric option";
        return;
      }
      settings.graph_fields = graph_fields_of_int(*n);
      ++i;
    } else if (a == "-T") {
      settings.search.mode = OutputMode::Text;
    } else if (a == "-V") {
      settings.search.mode = OutputMode::Verify;
    } else if (!store_file_name(settings, a)) {
      settings.error = "don't know what to do with " + a;
      return;
    }
    ++i;
  }
}

void print_usage(std::ostream& os, bool full) {
  os << "\nUsage: tool principals logic join knowledge  [-GVT] [-max nprinc] [-if]\n\n";
  if (!full) return;
  os << "\n   -T: Output is text representing the set of traces"
        "\n   -G param: Output is a GraphViz compliant file representing state space tree"
        "\n      param: a numeric value [0..15] specifing what to print. See manual"
        "\n   -V: Enable verification of formula. Output is the description of attacks"
        "\n   -t, --terminal: with -T prints out terminal traces only"
        "\n   -i, --interactive: with -V asks for continuation after the discovery of an attack"
        "\n   -f, --feedback: prints on stderr info on search status"
        "\n   -h, --help: print this help"
        "\n";
}

}  // namespace analyser
