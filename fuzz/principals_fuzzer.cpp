// Fuzz target: the input is a principals file. It is read as the driver reads
// it (declarations until the end or the first error, with the error line), and
// every role read is rendered, instantiated and inspected as a session would.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "principal/principal.h"

namespace {

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
  fuzz::SilencedOutput silenced;
  fuzz::start_input(fuzz::as_text(data, size));
  try {
    while (parser::more_principals()) {
      const Principal role = parser::parse_principal();
      if (parser::error_code() != 0) {
        fuzz::require_diagnostic(parser::diagnostic());
        silenced.out() << parser::error_message();
        break;
      }
      inspect(silenced.out(), role);
    }
  } catch (const ParseError& failure) {
    fuzz::require_diagnostic(parser::diagnostic());
    silenced.out() << failure.description();
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  return 0;
}
