#include "report/causal_past.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "report/attack.h"

namespace analyser {

namespace {

struct Step {
  ActionKind kind;
  std::string role;
  std::int64_t instance;
  Message message;
};

Step out(const std::string& role, std::int64_t instance, const Message& m) {
  return {ActionKind::Out, role, instance, m};
}
Step in(const std::string& role, std::int64_t instance, const Message& m) {
  return {ActionKind::In, role, instance, m};
}

// The events of a hand-written trace, and the actions they point to.
class Trace {
 public:
  explicit Trace(const std::vector<Step>& steps) {
    for (const Step& s : steps) {
      actions_.push_back(s.kind == ActionKind::In
                             ? in_action(s.role, s.instance, s.message, empty_assignment())
                             : out_action(s.role, s.instance, s.message, empty_assignment()));
      events_.push_back(TraceEvent{&actions_.back(), s.message});
    }
  }
  const std::vector<TraceEvent>& events() const { return events_; }

 private:
  std::deque<Action> actions_;  // stays where it is as it grows
  std::vector<TraceEvent> events_;
};

const Message kI = agent("I", 0);
const std::vector<Message> kIntruder = {kI, pub_key("I", 0), priv_key("I", 0)};

// Lowe's attack on the public-key protocol, initiator a and responder b, with
// an uninvolved initiator c's first message between the others when c is not 0.
std::vector<Step> lowe(std::int64_t a, std::int64_t b, std::int64_t c = 0) {
  const Message na = nonce("na", a);
  const Message nb = nonce("nb", b);
  const Message A = agent("A", a);
  std::vector<Step> steps = {
      out("A", a, enc(pair(na, A), pub_key("I", 0))),
      in("B", b, enc(pair(na, A), pub_key("B", b))),
      out("B", b, enc(pair(na, nb), pub_key("A", a))),
      in("A", a, enc(pair(na, nb), pub_key("A", a))),
      out("A", a, enc(nb, pub_key("I", 0))),
      in("B", b, enc(nb, pub_key("B", b))),
  };
  if (c != 0) {
    steps.insert(steps.begin() + 2,
                 out("A", c, enc(pair(nonce("na", c), agent("A", c)), pub_key("B", b))));
  }
  return steps;
}

std::vector<Message> public_names(const std::vector<std::int64_t>& a,
                                  const std::vector<std::int64_t>& b) {
  std::vector<Message> known = kIntruder;
  for (std::int64_t i : a) known.insert(known.end(), {agent("A", i), pub_key("A", i)});
  for (std::int64_t i : b) known.insert(known.end(), {agent("B", i), pub_key("B", i)});
  return known;
}

TEST(CausalPast, HoldsWhatTheViolationDependsOnAndNothingAfter) {
  const Message k = sym_key("k", 3);
  const Message secret = nonce("ns", 2);
  const Message ticket = enc(pair(sym_key("kold", 0), agent("A", 0)), sym_key("kbs", 0));
  struct Case {
    std::string name;
    std::vector<Step> steps;
    std::vector<Message> known;
    std::vector<Message> revealed;
    std::vector<std::size_t> seeds;
    std::vector<std::size_t> events;
    std::vector<std::vector<std::size_t>> depends_on;
  };
  const std::vector<Case> cases = {
      {"the nonce leaks at the initiator's last message: the responder's last input is after",
       lowe(1, 2),
       public_names({1}, {2}),
       {nonce("nb", 2)},
       {},
       {0, 1, 2, 3, 4},
       {{}, {0}, {1}, {0, 2}, {3}}},
      {"an uninvolved instance's message is left out",
       lowe(1, 2, 3),
       public_names({1, 3}, {2}),
       {nonce("nb", 2)},
       {},
       {0, 1, 3, 4, 5},
       {{}, {0}, {1}, {0, 2}, {3}}},
      {"a secret sealed under a key learnt later comes from both outputs",
       {out("X", 1, enc(secret, k)), out("Y", 4, nonce("ny", 4)), out("Z", 5, k)},
       kIntruder,
       {secret},
       {},
       {0, 2},
       {{}, {}}},
      {"a held encryption is replayed, not composed from what the intruder learnt later",
       {out("X", 1, enc(secret, kI)), out("Y", 2, enc(k, pub_key("S", 6))), out("Z", 5, k),
        in("S", 6, enc(k, pub_key("S", 6)))},
       {kI, pub_key("I", 0), priv_key("I", 0), pub_key("S", 6)},
       {},
       {3},
       {1, 3},
       {{}, {0}}},
      {"a replay of the initial knowledge depends on the victim's own past only",
       {out("A", 1, nonce("na", 1)), in("B", 2, agent("B", 2)), out("B", 2, nonce("nb", 2)),
        in("B", 2, ticket)},
       {agent("B", 2), ticket},
       {},
       {3},
       {1, 2, 3},
       {{}, {0}, {1}}},
      {"a term of the initial knowledge has no past",
       lowe(1, 2),
       public_names({1}, {2}),
       {pub_key("B", 2)},
       {},
       {},
       {}},
  };
  for (const Case& c : cases) {
    const Trace trace(c.steps);
    const CausalPast past = causal_past(trace.events(), c.known, c.revealed, c.seeds);
    EXPECT_EQ(past.events, c.events) << c.name;
    EXPECT_EQ(past.depends_on, c.depends_on) << c.name;
  }
}

// The server of a key-distribution protocol used as an oracle: the responder's
// key, sealed for the server, is re-sealed under a key of the intruder's choice.
// The responder's and the server's first exchanges do not depend on each other.
std::vector<Step> oracle(std::int64_t b, std::int64_t s, bool responder_first,
                         const Message& intruder_key) {
  const Message server = pub_key("S", 9);
  const Message kb = sym_key("kb", b);
  std::vector<Step> responder = {in("B", b, agent("B", b)), out("B", b, enc(kb, server))};
  std::vector<Step> server_opens = {in("S", s, enc(intruder_key, server)), out("S", s, kI)};
  std::vector<Step> steps = responder_first ? responder : server_opens;
  const std::vector<Step>& second = responder_first ? server_opens : responder;
  steps.insert(steps.end(), second.begin(), second.end());
  steps.push_back(in("S", s, enc(kb, server)));
  steps.push_back(out("S", s, enc(kb, intruder_key)));
  return steps;
}

std::string oracle_key(std::int64_t b, std::int64_t s, bool responder_first,
                       const Message& intruder_key, const std::vector<Step>& bystander = {}) {
  std::vector<Step> steps = oracle(b, s, responder_first, intruder_key);
  steps.insert(steps.begin() + 1, bystander.begin(), bystander.end());
  const Trace trace(steps);
  const std::vector<Message> known = {kI, pub_key("I", 0), priv_key("I", 0), agent("B", b),
                                      pub_key("S", 9)};
  const Message kb = sym_key("kb", b);
  const CausalPast past = causal_past(trace.events(), known, {kb}, {});
  return causal_key(trace.events(), past, {not_derive_formula(kb)});
}

std::string lowe_key(std::int64_t a, std::int64_t b, std::int64_t c = 0) {
  const Trace trace(lowe(a, b, c));
  const Message nb = nonce("nb", b);
  const CausalPast past = causal_past(trace.events(), public_names({a, c}, {b}), {nb}, {});
  return causal_key(trace.events(), past, {not_derive_formula(nb)});
}

TEST(CausalKey, SameForEveryInterleavingAndRenaming) {
  const Message plus = pub_key("I", 0);
  const std::string key = oracle_key(3, 1, true, plus);
  struct Case {
    std::string name;
    std::string key;
  };
  const std::vector<Case> same = {
      {"the server's first exchange before the responder's", oracle_key(3, 1, false, plus)},
      {"the instances swapped", oracle_key(1, 3, true, plus)},
      {"another instance number for the server", oracle_key(3, 2, false, plus)},
      {"a bystander's messages in between",
       oracle_key(3, 1, true, plus, {out("A", 4, nonce("na", 4)), in("A", 4, agent("B", 3))})},
  };
  for (const Case& c : same) EXPECT_EQ(c.key, key) << c.name;
  EXPECT_EQ(lowe_key(2, 1), lowe_key(1, 2));
  EXPECT_EQ(lowe_key(1, 2, 3), lowe_key(1, 2));
}

TEST(CausalKey, DifferentPastsStayApart) {
  const Message plus = pub_key("I", 0);
  const std::string key = oracle_key(3, 1, true, plus);
  EXPECT_NE(oracle_key(3, 1, true, priv_key("I", 0)), key) << "another key of the intruder";
  EXPECT_NE(lowe_key(1, 2), key);

  // One past, two literals.
  const Trace trace(oracle(3, 1, true, plus));
  const std::vector<Message> known = {kI, plus, priv_key("I", 0), agent("B", 3), pub_key("S", 9)};
  const Message kb = sym_key("kb", 3);
  const CausalPast past = causal_past(trace.events(), known, {kb}, {});
  EXPECT_NE(causal_key(trace.events(), past, {derive_formula(kb)}), key) << "another literal";

  // The same events, but the server's first exchange now waits for the
  // responder's output: another partial order.
  CausalPast later = past;
  later.depends_on[2].push_back(1);
  EXPECT_NE(causal_key(trace.events(), later, {not_derive_formula(kb)}), key) << "another order";
}

}  // namespace

}  // namespace analyser
