#include "utils/utils.h"

#include <iostream>

namespace {
std::ostream* current_output = &std::cout;
}

Failure syntax_failure(const std::string& text) { return Failure("Failure(\"" + text + "\")"); }

Failure sys_error(const std::string& text) { return Failure("Sys_error(\"" + text + "\")"); }

Failure stack_overflow() { return Failure("Stack_overflow"); }

std::ostream& out() { return *current_output; }

ScopedOutput::ScopedOutput(std::ostream& stream) : previous_(current_output) {
  current_output = &stream;
}

ScopedOutput::~ScopedOutput() { current_output = previous_; }
