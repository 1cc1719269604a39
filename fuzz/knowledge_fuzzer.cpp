// Fuzz target: the input is a knowledge file. Its terms become the intruder's
// initial knowledge as the search builds it (paired into one term, learnt into
// a fresh knowledge and closed under analysis), which is then rendered and
// queried the way the symbolic core queries it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "knowledge/kmanager.h"
#include "knowledge/knowledge.h"

using namespace analyser;

namespace {

void inspect(std::ostream& os, const std::vector<Message>& terms) {
  for (const Message& t : terms) os << message_to_string(t);
  KnowledgeManager mgr;
  const Knowledge empty = fresh_knowledge(mgr);
  const Message all =
      utils::fold2(terms, [](const Message& a, const Message& b) { return pair(a, b); });
  const Knowledge k = derive_knowledge(mgr, empty, empty_assignment(), all);
  os << knowledge_to_string(k);
  for (const Message& a : known_agents(k)) is_compromised(k, a);
  const auto any = [](const Message&) { return true; };
  for (const Message& key : usable_pub_keys(k)) encryptions_under(k, inverse_key(key), any);
  for (const Message& key : known_sym_keys(k)) encryptions_under(k, key, any);
  for (const Message& t : terms) can_derive(k, empty_assignment(), t);
  honest_agents(k);
  unpaired_pub_keys(k);
  unpaired_priv_keys(k);
  paired_priv_keys(k);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SilencedOutput silenced;
  const std::string text = fuzz::as_text(data, size);
  tokenizer::Lexer lexer(text);
  try {
    const formula_parser::KnowledgeFile file = formula_parser::parse_knowledge(lexer);
    if (file.terms.size() == 1) {
      fuzz::require_diagnostic(file.too_few_terms.value_or(syntax::Diagnostic()));
    }
    inspect(silenced.out(), file.terms);
  } catch (const syntax::SyntaxError& error) {
    fuzz::report(silenced.out(), error);
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  return 0;
}
