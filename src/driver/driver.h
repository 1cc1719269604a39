// The program as a callable function: the command line, the four input files in
// their fixed order (run/inputs.h), the analysis, and the report of a failure
// that ends the run.
//
// A run writes only to the streams it is given: results on one, diagnostics,
// warnings, progress, statistics and the failure report on the other.
#pragma once

#include <string>
#include <vector>

#include "run/parallelism.h"
#include "run/inputs.h"
#include "run/settings.h"
#include "utils/utils.h"

namespace analyser {

// Runs the program on its arguments (the program's name first). Returns the
// exit status: 0 after a normal run, a usage text or a command-line error; 2
// after a failure that nothing handles, reported by report_failure.
// parallelism says how the search uses the machine (see parallelism.h).
int run_driver(const std::vector<std::string>& args, const RunStreams& io,
               const Parallelism& parallelism = {});

// Writes the failure's output on io.out and flushes it, writes "Fatal error:
// exception <description>\n" on io.err and returns the exit status of a failed
// run, 2.
int report_failure(const RunStreams& io, const Failure& failure);

}  // namespace analyser
