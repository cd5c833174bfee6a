#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Errors.h"
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
    TStringList lines;
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

TEST(EnvironmentNamePart, IsTheTextBeforeTheFirstEquals) {
  const struct {
    const char* line;
    const char* name;
  } cases[] = {{"Path=C:\\bin", "Path"}, {"OPTS=a=b", "OPTS"}, {"EMPTY=", "EMPTY"},
               {"=X:=X:\\dir", ""},      {"noequals", ""},     {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(NamePart(c.line), c.name) << c.line;
}

TEST(EnvironmentValueOf, FindsTheFirstMatchingLineWithoutRegardToCase) {
  const TEnvironment env(
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
  EXPECT_EQ(TEnvironment({"A=1", "noequals"}).ValueOf(""), "");
  EXPECT_EQ(TEnvironment().ValueOf(""), "");
  EXPECT_EQ(TEnvironment().ValueOf("A"), "");
}

TEST(EnvironmentValueOf, AsciiComparisonFoldsOnlyLettersAToZ) {
  EXPECT_TRUE(AsciiNameEquals("Path_1", "pATH_1"));
  EXPECT_FALSE(AsciiNameEquals("@", "`"));  // neighbours of the letter ranges
  EXPECT_FALSE(AsciiNameEquals("[", "{"));
  EXPECT_FALSE(AsciiNameEquals("Path", "Paths"));
}

TEST(EnvironmentConstruction, StartsAtLineZeroWithItsValue) {
  const TEnvironment env({"ALLUSERSPROFILE=C:\\ProgramData", "B=2"});
  EXPECT_EQ(env.Key(), 0);
  EXPECT_EQ(env.Value(), "C:\\ProgramData");
}

TEST(EnvironmentConstruction, LineZeroBeginningWithEqualsGivesItsTextWithoutTheEquals) {
  EXPECT_EQ(TEnvironment({"=C:=C:\\work", "A=1"}).Value(), "C:=C:\\work");
}

TEST(EnvironmentConstruction, EmptyBlockGivesAnEmptySnapshotWithoutAnError) {
  const TEnvironment env(ParseEnvironmentBlock("\0"));
  EXPECT_TRUE(env.Lines().empty());
  EXPECT_EQ(env.Key(), 0);
  EXPECT_EQ(env.Value(), "");
}

// The window assigns its stored properties right after construction, Value first, then Key.
TEST(EnvironmentStoredProperties, LoadingKeepsTheStoredValue) {
  for (const TStringList& lines : {TStringList{"A=1", "B=2"}, TStringList{}}) {
    TEnvironment env(lines);
    env.SetValue("C:\\Documents and Settings\\All Users");
    env.SetKey(0);
    EXPECT_EQ(env.Key(), 0);
    EXPECT_EQ(env.Value(), "C:\\Documents and Settings\\All Users");
    EXPECT_EQ(env.Lines(), lines);
  }
}

TEST(EnvironmentKey, SelectsTheValueThroughTheLinesName) {
  TEnvironment env({"A=1", "B=2", "a=shadowed", "=C:=C:\\x", "=D:=D:\\y", "noequals"});
  const struct {
    int key;
    const char* value;
  } cases[] = {
      {1, "2"},        {2, "1"},  // a duplicated name gives its first line's value
      {4, "C:=C:\\x"},            // a line beginning with "=" gives the first such line without its "="
      {5, "C:=C:\\x"},            // so does a line without "=", whose name is empty too
      {0, "1"},
  };
  for (const auto& c : cases) {
    env.SetKey(c.key);
    EXPECT_EQ(env.Key(), c.key);
    EXPECT_EQ(env.Value(), c.value) << c.key;
  }
}

TEST(EnvironmentKey, SameIndexChangesNothing) {
  TEnvironment env({"A=1", "B=2"});
  env.SetKey(1);
  env.SetValue("assigned");
  env.SetKey(1);
  EXPECT_EQ(env.Value(), "assigned");
}

TEST(EnvironmentKey, IndexOutsideTheSnapshotIsRefusedAndChangesNothing) {
  for (const int index : {2, 3, -1, 2147483647, -2147483647 - 1}) {
    TEnvironment env({"A=1", "B=2"});
    env.SetValue("kept");
    try {
      env.SetKey(index);
      ADD_FAILURE() << index;
    } catch (const Error& e) {
      EXPECT_EQ(e.Kind(), kListIndexError);
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(index) + ")");
    }
    EXPECT_EQ(env.Key(), 0);
    EXPECT_EQ(env.Value(), "kept");
  }
}

}  // namespace
}  // namespace kestel
