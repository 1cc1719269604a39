#include "report/summary.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

TEST(SessionsText, NumbersAndPrincipalsUpToTheLimit) {
  const std::vector<Session> sessions = {
      {1, {"A_2", "A_1"}, false}, {2, {"A_2", "B_1"}, false}, {3, {"B_2", "B_1"}, true}};
  struct Case {
    std::set<std::int64_t> numbers;
    std::size_t limit;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{2}, 8, "2 (A_2 B_1)"},
      {{1, 3}, 8, "1 (A_2 A_1), 3 (B_2 B_1)"},
      {{1, 2, 3}, 2, "1 (A_2 A_1), 2 (A_2 B_1) and 1 more"},
  };
  for (const Case& c : cases) {
    AttackGroup group;
    group.sessions = c.numbers;
    EXPECT_EQ(sessions_text(group, sessions, c.limit), c.text);
  }
}

// The table's columns are as wide as their widest cell; a claim's name, when
// it has one, comes before its formula.
TEST(ClaimsTable, OneAlignedLinePerClaim) {
  AnalysisResult result;
  ClaimResult secrecy{"secrecy", "forall B.i: not :> nb_i ;", "l", 2, ClaimStatus::Attack, 3, 2, 1};
  ClaimResult unnamed{"", "true ;", "l", 3, ClaimStatus::Holds, 0, 0, 0};
  ClaimResult cut{"cut short", "false ;", "c", 1, ClaimStatus::NotChecked, 0, 0, 0};
  result.claims = {secrecy, unnamed, cut};
  const std::vector<std::string> expected = {
      "  claim  status                  distinct attacks  first attack  formula",
      "  1      attack                  2                 1             secrecy: forall B.i: not "
      ":> "
      "nb_i ;",
      "  2      holds within the bound  0                 -             true ;",
      "  3      not checked             0                 -             cut short: false ;",
  };
  EXPECT_EQ(claims_table(result), expected);
  EXPECT_EQ(claim_label(result, 0), "1 (secrecy)");
  EXPECT_EQ(claim_label(result, 1), "2");
}

// One claim, as every model had before there were several: no table, and the
// attacks do not name their claim.
TEST(Summary, ClaimsAreShownWhenThereAreSeveral) {
  AnalysisResult result;
  AttackGroup group;
  group.count = 1;
  group.sessions = {1};
  group.representative.session = 1;
  group.representative.claim = 1;
  result.sessions = {{1, {"A_1"}, false}};
  result.attacks = {group};
  result.claims = {{"", "true ;", "l", 1, ClaimStatus::Holds, 0, 0, 0},
                   {"b", "false ;", "l", 2, ClaimStatus::Attack, 1, 1, 1}};
  std::ostringstream several;
  write_summary(several, result, Verdict{kAttackFound, "Verdict: v"});
  EXPECT_NE(several.str().find("Distinct attack 1 of 1, on claim 2 (b): 1 attack set"),
            std::string::npos);
  EXPECT_NE(several.str().find("\nClaims:\n  claim  status"), std::string::npos);
  result.claims.erase(result.claims.begin());
  result.attacks[0].representative.claim = 0;
  std::ostringstream one;
  write_summary(one, result, Verdict{kAttackFound, "Verdict: v"});
  EXPECT_EQ(one.str().find("claim"), std::string::npos);
  EXPECT_EQ(one.str().substr(0, 36), "Distinct attack 1 of 1: 1 attack set");
}

}  // namespace

}  // namespace analyser
