// The report as a JSON document for tools; the README documents its schema.
#pragma once

#include <string>

#include "report/report.h"

namespace analyser {

// Pretty-printed with two-space indentation, keys in a fixed order, ending in a
// line feed.
std::string json_report(const Report& report);

}  // namespace analyser
