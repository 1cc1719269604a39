// Fuzz target: the input is a principals file. It is read as the driver reads
// it (declarations until the end or the first error, with the error line), and
// every role of a file read without error is rendered, instantiated and
// inspected as a session would. Longer inputs than kLongestInput are left out:
// they only make each run slower (a long comment is read a byte at a time), and
// the deepest nesting the parser accepts fits in them.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "principal/principal.h"

using namespace analyser;

namespace {

constexpr std::size_t kLongestInput = 8 * 1024;

void inspect(std::ostream& os, const Principal& role) {
  const Principal instance = make_principal(role.name(), 1, role.params(), role.process());
  for (const Principal& p : {role, instance}) {
    os << principal_to_string(p, empty_assignment());
    principal_well_formed(p);
    principal_max_actions(p);
    is_finished(p);
    for (const VarId& v : p.params()) param_kind(p, v);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLongestInput) return -1;
  fuzz::SilencedOutput silenced;
  const std::string text = fuzz::as_text(data, size);
  tokenizer::Lexer lexer(text);
  try {
    const parser::PrincipalsFile file = parser::parse_principals(lexer);
    if (file.unclosed_comment) fuzz::require_diagnostic(*file.unclosed_comment);
    for (const Principal& role : file.principals) inspect(silenced.out(), role);
  } catch (const syntax::SyntaxError& error) {
    fuzz::report(silenced.out(), error);
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  return 0;
}
