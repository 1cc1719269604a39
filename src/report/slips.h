// Slips: a model that parses but cannot mean what it seems to. A formula that
// speaks of a role no principal declares (a misspelt name, or declarations
// hidden by an unclosed comment), of a variable its role does not have, or of
// an index no quantifier binds can never hold or never fail, and the verdict
// would silently invent or hide attacks; a join formula about the intruder's
// knowledge is almost always the logic and join files swapped, since when
// sessions are composed the intruder knows only names and public keys. The
// report refuses such a model rather than give a verdict on it.
#pragma once

#include <vector>

#include "parser/syntax.h"
#include "report/model.h"
#include "run/inputs.h"

namespace analyser {

// Every slip of the model (its files in command-line order, then the claim
// files, as parsed into inputs and claims), the claims' first in their order,
// each a diagnostic at the first use within its claim of what is wrong. With
// no claims, the slips of inputs.formula in the logic file.
// knowledge_in_join: the user means the join to speak of the intruder's
// knowledge.
std::vector<syntax::Diagnostic> model_slips(const std::vector<InputFile>& model,
                                            const Inputs& inputs, const std::vector<Claim>& claims,
                                            bool knowledge_in_join);

}  // namespace analyser
