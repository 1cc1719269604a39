// The report as one self-contained HTML page: styles inline, charts as inline
// SVG, no script and nothing fetched.
#pragma once

#include <string>

#include "report/report.h"

namespace analyser {

std::string html_report(const Report& report);

// text with &, <, >, " and ' written as character references.
std::string html_escaped(const std::string& text);

}  // namespace analyser
