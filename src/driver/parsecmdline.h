// The command line: the option words and positional file names of a run, read
// into the Settings record, and the usage text.
//
// Scanning never fails: the first error met ends the scan and is left, as its
// user-facing text, in Settings::error.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "run/settings.h"

namespace analyser {

// The settings of a run before any argument is read.
Settings default_settings();

// Fills settings from args; args[0] (the program name) is skipped. Options and
// file names may be mixed; combined option words are taken as file names.
void parse_command_line(const std::vector<std::string>& args, Settings& settings);

// A signed integer literal: optional "-", then decimal digits or one of the
// prefixes 0x, 0o, 0b and digits of that base; "_" is ignored after the first
// digit. Nothing when the text is not such a literal or does not fit 64 bits.
std::optional<std::int64_t> parse_integer(const std::string& text);

// Bits 8, 4, 2, 1 of n select context, action, knowledge, assignment; n >= 16
// keeps context on, a negative n turns everything off.
GraphFields graph_fields_of_int(std::int64_t n);

// The usage line on os; full adds one line per option.
void print_usage(std::ostream& os, bool full);

}  // namespace analyser
