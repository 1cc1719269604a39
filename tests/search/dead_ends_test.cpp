#include "search/dead_ends.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intruder_knowledge.h"
#include "step/core.h"

namespace analyser {

namespace {

// A principal as written, its atoms already numbered.
Principal principal(const std::string& name, std::int64_t instance, const Process& process,
                    std::vector<VarId> params = {}) {
  return Principal(Principal::Data{name, instance, std::move(params), process});
}

Process receive(const Message& pattern, const Process& next = nil_process()) {
  return input(pattern, next);
}

Process send(const Message& term, const Process& next = nil_process()) {
  return output(term, next);
}

// One row per condition under which a waiting principal can never receive,
// and per way out of it. B_1 waits for its own nonce nb_1 in every row.
TEST(CannotFinish, OneRowPerConditionOfTheArgument) {
  const Message nb = nonce("nb", 1);
  const Message kbs = sym_key("kbs", 1);
  const Message kas = sym_key("kas", 2);
  const VarId x{"x", "A", 2};
  const Principal waiting = principal("B", 1, receive(nb));
  const struct {
    const char* what;
    std::vector<Message> known;  // the intruder's knowledge, with I_0
    std::vector<Principal> others;
    Principal waiter;
    bool dead_end;
  } cases[] = {
      {"the value was never sent", {}, {}, waiting, true},
      {"the intruder knows the value", {nb}, {}, waiting, false},
      {"the value is sealed under a key the intruder lacks", {enc(nb, kbs)}, {}, waiting, true},
      {"the key that opens it is sealed in turn", {enc(nb, kbs), enc(kbs, kas)}, {}, waiting, true},
      {"the intruder opens the ciphertext", {enc(nb, kbs), kbs}, {}, waiting, false},
      {"another principal will send the value",
       {enc(nb, kbs)},
       {principal("A", 2, send(nb))},
       waiting,
       false},
      {"another principal will send the opening key",
       {enc(nb, kbs)},
       {principal("A", 2, send(kbs))},
       waiting,
       false},
      {"another principal may open the ciphertext and send its body on",
       {enc(nb, kbs)},
       {principal("A", 2, receive(enc(bind_var(x), kbs), send(var(x))))},
       waiting,
       false},
      {"another principal forwards ciphertexts whole",
       {enc(nb, kbs)},
       {principal("A", 2, receive(bind_var(x), send(var(x))))},
       waiting,
       true},
      {"the waiting pattern itself takes the ciphertext",
       {enc(nb, kbs)},
       {},
       principal("B", 1, receive(enc(nb, kbs))),
       false},
      {"a key that is not an atom: may finish", {enc(nb, pair(kbs, kas))}, {}, waiting, false},
      {"a principal with an open parameter is not judged",
       {},
       {},
       principal("B", 1, receive(nb), {VarId{"a", "B", 1}}),
       false},
  };
  for (const auto& c : cases) {
    SymbolicCore core;
    const Knowledge k = intruder_knowledge(core.knowledge_manager(), c.known);
    Context context{c.waiter};
    for (const Principal& p : c.others) context.push_back(p);
    EXPECT_EQ(cannot_finish(Status{context, empty_assignment(), k}), c.dead_end) << c.what;
  }
}

}  // namespace

}  // namespace analyser
