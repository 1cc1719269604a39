// What a finished run established, in words for the user: the warnings of a run
// that checked nothing, and the one-line verdict of a verification.
//
// A run that builds no session, prunes every session, or verifies no finished
// run prints exactly what a run on a secure protocol prints; these texts are how
// it says so. They go to standard error, never into the run's output.
#pragma once

#include <string>
#include <vector>

#include "search/state.h"

namespace analyser {

// The reasons why the searched run checked nothing, most fundamental first;
// none when something was checked.
std::vector<std::string> run_warnings(const SearchState& state);

// Attacks found or none, how many finished runs were verified in how many
// sessions, and the session size that bounds the result.
std::string verdict_line(const SearchState& state);

}  // namespace analyser
