#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/MprLog.h"

namespace kestel::testing::mpr {
namespace {

TEST(MprLog, QuotedValuesComeBackAsWrittenAndNullStaysApartFromEmpty) {
  const char* const texts[] = {"",          "Z:",   "\\\\srv\\share",   "say \"hi\"",
                               "tab\there", "\r\n", "\xe4\x7f\x01 end", "null"};
  std::string log = "F";
  for (std::size_t i = 0; i < std::size(texts); ++i) log += " k" + std::to_string(i) + "=" + Quote(texts[i]);
  log += " absent=" + Quote(nullptr) + " n=42\n";
  const auto calls = ParseLog(log);
  ASSERT_TRUE(calls.has_value());
  ASSERT_EQ(calls->size(), 1u);
  const Call& call = calls->front();
  EXPECT_EQ(call.function, "F");
  for (std::size_t i = 0; i < std::size(texts); ++i)
    EXPECT_EQ(call.Text("k" + std::to_string(i)), std::optional<std::string>(texts[i])) << texts[i];
  EXPECT_TRUE(call.IsNull("absent"));
  EXPECT_FALSE(call.IsNull("k0"));
  EXPECT_FALSE(call.IsNull("missing"));
  EXPECT_FALSE(call.Has("missing"));
  EXPECT_EQ(call.Number("n"), 42u);
  EXPECT_EQ(call.Number("k1"), std::nullopt);
}

TEST(MprLog, WrittenLinesHoldNoLineBreaksOrBlanksInsideValues) {
  const std::string quoted = Quote("a b\r\nc");
  EXPECT_EQ(quoted.find('\n'), std::string::npos);
  EXPECT_EQ(quoted.find('\r'), std::string::npos);
  EXPECT_EQ(quoted, "\"a b\\x0D\\x0Ac\"");
}

TEST(MprLog, LeavesOutALastLineStillBeingWrittenAndRefusesBrokenOnes) {
  const auto calls = ParseLog("A x=1\r\nB y=\"v\"\nC z=\"unfinish");
  ASSERT_TRUE(calls.has_value());
  ASSERT_EQ(calls->size(), 2u);
  EXPECT_EQ((*calls)[1].Text("y"), "v");

  const char* const bad[] = {"", " x=1", "A =1", "A x=", "A x=\"open", "A x=\"bad\\q\"", "A x=\"v\"y=1", "A x"};
  for (const char* line : bad) EXPECT_FALSE(ParseLine(line).has_value()) << line;
  EXPECT_FALSE(ParseLog("A x=1\nA x=\"open\n").has_value());
}

TEST(MprRules, FirstFittingRuleAnswersAndNoneMeansSuccess) {
  const auto rules = ParseRules("cancel:*=2250;add:\\\\SRV\\bad=67;Y:=1326;junk;=5;Q:=x;\\\\srv\\a=b=85");
  ASSERT_EQ(rules.size(), 4u);
  struct Case {
    Operation operation;
    std::vector<std::string_view> names;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {Operation::Cancel, {"X:"}, 2250},
      {Operation::Cancel, {"Y:"}, 2250},                // the earlier rule wins
      {Operation::Add, {"\\\\srv\\BAD", "X:"}, 67},     // case does not matter
      {Operation::Add, {"\\\\srv\\good", "y:"}, 1326},  // a device rule matches the local name
      {Operation::Add, {"\\\\srv\\good", "X:"}, 0},
      {Operation::Add, {"\\\\srv\\a=b", "X:"}, 85},  // the last '=' splits
      {Operation::Add, {}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Answer(rules, c.operation, c.names), c.expected);
  EXPECT_EQ(Answer(ParseRules(""), Operation::Cancel, {"X:"}), 0u);
}

}  // namespace
}  // namespace kestel::testing::mpr
