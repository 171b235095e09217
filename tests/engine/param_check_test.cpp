#include "engine/param_check.h"

#include <gtest/gtest.h>

namespace mirrox {
namespace {

struct RewriteCase {
  const char* name;
  const char* sql;
  const char* expected;
  std::vector<std::string> names;
};

class RewriteNamedParameters : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteNamedParameters, ReplacesOnlyParameterWords) {
  const RewriteCase& c = GetParam();
  const PositionalSql result = rewriteNamedParameters(c.sql);
  EXPECT_EQ(result.text, c.expected);
  EXPECT_EQ(result.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RewriteNamedParameters,
    ::testing::Values(
        RewriteCase{"BatchTemplate",
                    "execute procedure REPL_DATA (0,2,:p3,:p4,:p5,:p6,1)",
                    "execute procedure REPL_DATA (0,2,?,?,?,?,1)",
                    {"p3", "p4", "p5", "p6"}},
        RewriteCase{"SpacesAfterCommas", "x (:p0, :p1,:p2)", "x (?, ?,?)", {"p0", "p1", "p2"}},
        RewriteCase{"StringLiteralKeepsColon", "select ':a' || :b from t", "select ':a' || ? from t", {"b"}},
        RewriteCase{"DoubledQuoteInsideLiteral",
                    "select 'it''s :a' , :b from t",
                    "select 'it''s :a' , ? from t",
                    {"b"}},
        RewriteCase{"QuotedIdentifier",
                    "select \":x\" from t where a = :y",
                    "select \":x\" from t where a = ?",
                    {"y"}},
        RewriteCase{"LineComment",
                    "select 1 -- :a\nfrom t where b = :b",
                    "select 1 -- :a\nfrom t where b = ?",
                    {"b"}},
        RewriteCase{"BlockComment", "select /* :a */ :b", "select /* :a */ ?", {"b"}},
        RewriteCase{"TimeLiteralIsNotAParameter",
                    "select '10:30' from t where x = 1:2",
                    "select '10:30' from t where x = 1:2",
                    {}},
        RewriteCase{"UnterminatedLiteralRunsToEnd", "select ':a", "select ':a", {}},
        RewriteCase{"NameWithDigitsAndDollar", "where a = :p_1$x+1", "where a = ?+1", {"p_1$x"}},
        RewriteCase{"RepeatedName", ":a = :a", "? = ?", {"a", "a"}}),
    [](const ::testing::TestParamInfo<RewriteCase>& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace mirrox
