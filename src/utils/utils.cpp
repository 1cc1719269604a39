#include "utils/utils.h"

namespace analyser {

Failure syntax_failure(const std::string& text) {
  return Failure("Failure(\"" + text + "\")");
}

Failure sys_error(const std::string& text) {
  return Failure("Sys_error(\"" + text + "\")");
}

Failure stack_overflow() {
  return Failure("Stack_overflow");
}

}  // namespace analyser
