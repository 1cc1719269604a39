#include "utils/utils.h"

#include <new>

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

Failure failure_from(std::exception_ptr e) {
  try {
    std::rethrow_exception(std::move(e));
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure("Out_of_memory");
  } catch (const std::length_error&) {  // a size beyond what memory can hold
    return Failure("Out_of_memory");
  } catch (const std::exception& other) {
    return Failure(other.what());
  }
}

}  // namespace analyser
