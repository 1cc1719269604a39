#include "utils/utils.h"

#include <sched.h>

#include <algorithm>
#include <new>
#include <thread>

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

int usable_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace analyser
