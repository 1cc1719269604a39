// The report as one self-contained HTML page: styles inline, charts as inline
// SVG, no script and nothing fetched.
//
// From the top: the verdict (id "top" on the heading, "verdict" on the verdict
// line), a table of the distinct attacks ("attacks") with a row per attack
// linking to its section, the input files as analysed, each folded ("inputs"),
// the sessions with those the join pruned ("sessions"), a section per distinct
// attack ("attack-K", with links to the previous and next attack and to the
// top), and the statistics ("statistics"), every one the JSON report has. The
// element ids of attack K's chart begin with "aK-": no id is given twice.
#pragma once

#include <string>

#include "report/report.h"

namespace analyser {

std::string html_report(const Report& report);

// text with &, <, >, " and ' written as character references.
std::string html_escaped(const std::string& text);

}  // namespace analyser
