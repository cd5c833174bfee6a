#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/Environ.h"

namespace kestel {
namespace {

// Builds a block as the platform hands it over: each entry NUL-terminated, then one more NUL.
std::string Block(const std::vector<std::string>& entries) {
  std::string block;
  for (const std::string& e : entries) block += e + '\0';
  return block + '\0';
}

TEST(EnvironmentBlock, KeepsEveryEntryAsItStandsInOrderUpToTheFirstEmptyOne) {
  const struct {
    std::string block;
    std::vector<std::string> lines;
  } cases[] = {
      {Block({"=C:=C:\\work", "Path=C:\\bin", " SPACED = x ", "OPTS=a=b", "noequals", "Path=second"}),
       {"=C:=C:\\work", "Path=C:\\bin", " SPACED = x ", "OPTS=a=b", "noequals", "Path=second"}},
      {Block({"CAF\xC9=\xE9t\xE9", "DBCS=\x83\x5C\x83\x7C"}), {"CAF\xC9=\xE9t\xE9", "DBCS=\x83\x5C\x83\x7C"}},
      {Block({}), {}},
      {std::string("A=1\0\0B=2\0\0", 10), {"A=1"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseEnvironmentBlock(c.block.c_str()), c.lines);
  EXPECT_TRUE(ParseEnvironmentBlock(nullptr).empty());
}

TEST(EnvironmentValueOf, FindsTheFirstMatchingLineWithoutRegardToCase) {
  const EnvironmentSnapshot env(
      {"Path=C:\\bin", "OPTS=a=b", "EMPTY=", "noequals", "=X:=X:\\dir", "=Y:=Y:\\other", "path=shadowed"});
  const struct {
    const char* name;
    const char* value;
  } cases[] = {
      {"PATH", "C:\\bin"}, {"path", "C:\\bin"}, {"Path", "C:\\bin"},  // any letter case; first line wins
      {"OPTS", "a=b"},                                                // further "=" belong to the value
      {"EMPTY", ""},       {"NOSUCH", ""},                            // empty and missing look alike
      {" PATH", ""},       {"PATH ", ""},                             // not trimmed here
      {"", "X:=X:\\dir"},                                             // the first line beginning with "="
      {"=X:", ""},                                                    // no name part holds "="
      {"noequals", ""},                                               // a line without "=" names nothing
  };
  for (const auto& c : cases) EXPECT_EQ(env.ValueOf(c.name), c.value) << '"' << c.name << '"';
}

TEST(EnvironmentValueOf, EmptyNameFindsNothingWithoutALineBeginningWithEquals) {
  EXPECT_EQ(EnvironmentSnapshot({"A=1", "noequals"}).ValueOf(""), "");
  EXPECT_EQ(EnvironmentSnapshot().ValueOf(""), "");
  EXPECT_EQ(EnvironmentSnapshot().ValueOf("A"), "");
}

TEST(EnvironmentValueOf, AsciiComparisonFoldsOnlyLettersAToZ) {
  EXPECT_TRUE(AsciiNameEquals("Path_1", "pATH_1"));
  EXPECT_FALSE(AsciiNameEquals("@", "`"));  // neighbours of the letter ranges
  EXPECT_FALSE(AsciiNameEquals("[", "{"));
  EXPECT_FALSE(AsciiNameEquals("Path", "Paths"));
}

}  // namespace
}  // namespace kestel
