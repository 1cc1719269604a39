#include "report/slips.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

constexpr const char* kNspk =
    "A : (b) [ out({(na,A)}b+) . in({(na,?y)}A-) . out({y}b+) ] ;\n"
    "B : (a) [ in({(?x,a)}B-) . out({(x,nb)}a+) . in({nb}B-) ] ;\n";
constexpr const char* kNspkLogic = "forall B.i: (not :> nb_i) and (exists A.j: b_j = B_i) ;\n";
constexpr const char* kNspkJoin = "forall B.i: exists A.j: a_i = A_j ;\n";

// The slips of a model given as texts, every formula of the logic file and of
// the claim file (c, when given) a claim, as "FILE:LINE:COLUMN: TEXT".
std::vector<std::string> slips_of(const std::string& principals, const std::string& logic,
                                  const std::string& join, bool knowledge_in_join = false,
                                  const std::string& claim_file = "") {
  std::vector<InputFile> model = {{"principals", "p", principals},
                                  {"logic", "l", logic},
                                  {"join", "j", join},
                                  {"knowledge", "k", "I_0, I_0+ ;\n"}};
  if (!claim_file.empty()) model.push_back({kClaimRole, "c", claim_file});
  Settings settings;
  settings.every_claim = true;
  settings.principals_file = "p";
  settings.logic_file = "l";
  settings.join_file = "j";
  settings.knowledge_file = "k";
  std::ostringstream out;
  std::ostringstream err;
  const Inputs inputs = read_inputs(settings, RunStreams{out, err}, [&](const std::string& path) {
    for (const InputFile& file : model) {
      if (file.path == path) return tokenizer::SourceFile{path, file.text, ""};
    }
    return tokenizer::SourceFile{};
  });
  std::vector<Claim> claims = inputs.claims;
  if (!claim_file.empty()) {
    tokenizer::Lexer lexer(claim_file, "c");
    for (Claim& claim : parse_claims(lexer, claim_file)) claims.push_back(std::move(claim));
  }
  std::vector<std::string> lines;
  for (const syntax::Diagnostic& d : model_slips(model, inputs, claims, knowledge_in_join)) {
    lines.push_back(d.where.file + ":" + syntax::line_and_column(d.where) + ": " + d.text);
  }
  return lines;
}

TEST(Slips, EachIsFoundAtItsFirstUse) {
  struct Case {
    const char* what;
    std::string principals;
    std::string logic;
    std::string join;
    std::vector<std::string> slips;
  };
  const std::vector<Case> cases = {
      {"a sound model", kNspk, kNspkLogic, kNspkJoin, {}},
      {"a misspelt quantified role",
       kNspk,
       "// R?\nforall R.i: not :> nb_i ;\n",
       kNspkJoin,
       {"l:2:8: role R is declared by no principal"}},
      {"a role in a variable's name",
       kNspk,
       "not :> x_C_1 ;\n",
       kNspkJoin,
       {"l:1:8: role C is declared by no principal"}},
      {"a misspelt variable",
       kNspk,
       "forall B.i: exists A.j: bb_j = B_i ;\n",
       kNspkJoin,
       {"l:1:25: role A has no variable bb (its variables: b, y)"}},
      {"another role's variable",
       kNspk,
       "forall B.i: b_i = A_1 ;\n",
       kNspkJoin,
       {"l:1:13: role B has no variable b (its variables: a, x)"}},
      {"an unbound index",
       kNspk,
       "forall B.i: a_k = A_1 ;\n",
       kNspkJoin,
       {"l:1:13: index k of a_k is bound by no quantifier (write forall ROLE.k: ...)"}},
      {"a comment holds the first mention",
       kNspk,
       "/* zz_i */ forall B.i: zz_i = A_1 ;\n",
       kNspkJoin,
       {"l:1:24: role B has no variable zz (its variables: a, x)"}},
      {"slips in both formulas, the logic file's first",
       kNspk,
       "forall C.i: true ;\n",
       "forall D.i: true ;\n",
       {"l:1:8: role C is declared by no principal", "j:1:8: role D is declared by no principal"}},
      {"the join speaks of knowledge",
       kNspk,
       kNspkJoin,
       kNspkLogic,
       {"j:1:18: the join formula speaks of the intruder's knowledge (':>'), but when sessions "
        "are composed the intruder knows only names and public keys: did you swap the logic and "
        "join files? (--knowledge-in-join accepts it)"}},
      {"declarations hidden by an unclosed comment",
       "A : (b) [ out({(na,A)}b+) . in({(na,?y)}A-) . out({y}b+) ] ;\n/* B : (a) [ in(?x) ] ;\n",
       "forall B.i: true ;\n",
       "true ;\n",
       {"l:1:8: role B is declared by no principal; p: unexpected end of file inside a block "
        "comment opened at 2:1, which hides the declarations after it"}},
      {"a variable the process uses and the join binds",
       "S : () [ out(z) ] ;\n",
       "true ;\n",
       "forall S.i: z_i = S_i ;\n",
       {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(slips_of(c.principals, c.logic, c.join), c.slips) << c.what;
  }
}

// Every claim is checked, and each slip is found at its first use within its
// claim: a name that another claim uses rightly is no slip there.
TEST(Slips, EveryClaimIsCheckedWhereItStands) {
  struct Case {
    const char* what;
    std::string logic;
    std::string claim_file;
    std::vector<std::string> slips;
  };
  const std::vector<Case> cases = {
      {"the second claim of the logic file",
       "forall A.i: b_i = B_1 ;\nforall B.i: b_i = A_1 ;\n",
       "",
       {"l:2:13: role B has no variable b (its variables: a, x)"}},
      {"both claims, in order",
       "forall C.i: true ;\n/* two */ forall D.i: true ;\n",
       "",
       {"l:1:8: role C is declared by no principal", "l:2:18: role D is declared by no principal"}},
      {"a claim file after the logic file",
       "forall R.i: true ;\n",
       "// more\nforall B.i: a_i = A_1 ;\n\n  forall B.i: a_k = A_1 ;\n",
       {"l:1:8: role R is declared by no principal",
        "c:4:15: index k of a_k is bound by no quantifier (write forall ROLE.k: ...)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(slips_of(kNspk, c.logic, kNspkJoin, false, c.claim_file), c.slips) << c.what;
  }
}

TEST(Slips, KnowledgeInTheJoinWhenTheUserMeansIt) {
  EXPECT_TRUE(slips_of(kNspk, kNspkJoin, kNspkLogic, true).empty());
}

}  // namespace

}  // namespace analyser
