#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "env/Environ.h"
#include "env/Placeholders.h"

namespace kestel {
namespace {

struct Case {
  std::string input;
  std::string output;
};

// Expands through the real lookup chain: the user name, then a snapshot of the given lines.
std::string Expand(const std::string& text, const EnvironmentSnapshot& env, const std::string& userName) {
  return ExpandPlaceholders(text, [&](const std::string& name) {
    return LookupPlaceholder(name, userName, [&](const std::string& n) { return env.ValueOf(n); });
  });
}

void ExpectExpansions(const std::vector<Case>& cases, const EnvironmentSnapshot& env, const std::string& userName) {
  for (const Case& c : cases) EXPECT_EQ(Expand(c.input, env, userName), c.output) << "input: " << c.input;
}

TEST(ExpandPlaceholders, WorkedExamples) {
  const EnvironmentSnapshot env({"DEPT=sales", "SHARE=data"});
  ExpectExpansions({{"%DEPT%\\docs", "sales\\docs"},
                    {"x%dept%y", "xsalesy"},
                    {"% Dept %", "sales"},
                    {"%DEPT%%SHARE%", "salesdata"},
                    {"%internalusername%\\home", "u1\\home"},
                    {"%NOSUCH%\\a", "\\a"},
                    {"100%", "100"},
                    {"50% off", "50"},
                    {"%DEPT%x%", "salesx"},
                    {"a%b%c", "ac"},
                    {"", ""},
                    {"no percent sign", "no percent sign"}},
                   env, "u1");
}

TEST(ExpandPlaceholders, EdgesOfTheText) {
  const EnvironmentSnapshot env({"DEPT=sales"});
  ExpectExpansions({{"\\\\srv\\%DEPT%", "\\\\srv\\sales"},  // closed by the last byte
                    {"\\\\srv\\%", "\\\\srv\\"},            // opened by the last byte
                    {"%DEPT%", "sales"},
                    {"%", ""},
                    {"%DEPT", ""},
                    {"%%%", ""}},
                   env, "");
}

TEST(ExpandPlaceholders, AdjacentPercentSignsLookUpTheEmptyName) {
  ExpectExpansions({{"a%%b", "ab"}, {"%%", ""}}, EnvironmentSnapshot({"A=1"}), "");
  ExpectExpansions({{"a%%b", "aC:=C:\\wb"}, {"%%%%", "C:=C:\\wC:=C:\\w"}, {"% %", "C:=C:\\w"}},
                   EnvironmentSnapshot({"A=1", "=C:=C:\\w"}), "");
}

TEST(ExpandPlaceholders, NameIsUpperCasedInAToZOnlyThenTrimmedOfControlBytesAndSpace) {
  std::vector<std::string> asked;
  const auto record = [&](const std::string& name) {
    asked.push_back(name);
    return std::string();
  };
  using namespace std::string_literals;
  const std::string text = "%my var%%\t\r\n dept \x01%%caf\xe9%%%%a\0b%%{@`[z}%%\x7f\x80\xa0%"s;
  ExpandPlaceholders(text, record);
  EXPECT_EQ(asked, (std::vector<std::string>{"MY VAR", "DEPT", "CAF\xe9", "", std::string("A\0B", 3), "{@`[Z}",
                                             "\x7f\x80\xa0"}));
}

TEST(ExpandPlaceholders, ValuesAreInsertedUnscanned) {
  ExpectExpansions({{"%DEPT%", "a%b"}, {"%DEPT%%X%", "a%b"}, {"%DEPT%X%", "a%bX"}},
                   EnvironmentSnapshot({"DEPT=a%b", "X="}), "");
  ExpectExpansions({{"%internalusername%\\%DEPT%", "%DEPT%\\a%b"}}, EnvironmentSnapshot({"DEPT=a%b"}), "%DEPT%");
}

TEST(ExpandPlaceholders, PlaceholdersPairStrictlyLeftToRight) {
  std::vector<std::string> asked;
  ExpandPlaceholders("%a%b%c%d%", [&](const std::string& name) {
    asked.push_back(name);
    return "<" + name + ">";
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(ExpandPlaceholders("%a%b%c%d%", [](const std::string& name) { return "<" + name + ">"; }), "<A>b<C>d");
}

TEST(ExpandPlaceholders, BytesOutsidePlaceholdersAreCopiedUnchanged) {
  // High bytes, a double-byte character whose trail byte is "\", controls and an embedded NUL; a
  // "%" is a delimiter even where it would be the trail byte of a double-byte character.
  const std::string outside = std::string("\x83\x5C\xe9\xff\x01\x7f\0end", 10);
  EXPECT_EQ(ExpandPlaceholders(outside, [](const std::string&) { return std::string("!"); }), outside);
  EXPECT_EQ(ExpandPlaceholders(outside + "%x%" + outside, [](const std::string&) { return std::string("v"); }),
            outside + "v" + outside);
  EXPECT_EQ(ExpandPlaceholders("\x81%X%\x81", [](const std::string&) { return std::string("v"); }), "\x81v\x81");
}

TEST(LookupPlaceholder, OnlyTheExactSpecialNameGivesTheUserName) {
  const auto environment = [](const std::string& name) { return "env:" + name; };
  const struct {
    const char* name;
    const char* result;
  } cases[] = {{"INTERNALUSERNAME", "u1"},
               {"internalusername", "env:internalusername"},
               {" INTERNALUSERNAME", "env: INTERNALUSERNAME"},
               {"INTERNALUSERNAMEX", "env:INTERNALUSERNAMEX"},
               {"", "env:"}};
  for (const auto& c : cases) EXPECT_EQ(LookupPlaceholder(c.name, "u1", environment), c.result) << c.name;
}

TEST(LookupPlaceholder, SpecialNameInAnyCaseAndSpacingReachesTheUserName) {
  // The environment's own INTERNALUSERNAME never shows through.
  const EnvironmentSnapshot env({"INTERNALUSERNAME=fromenv", "Path=C:\\bin"});
  ExpectExpansions(
      {{"%InternalUserName%", "u1"}, {"% internalusername\t%", "u1"}, {"%Path%;%PATH%", "C:\\bin;C:\\bin"}}, env, "u1");
  ExpectExpansions({{"%INTERNALUSERNAME%\\home", "\\home"}}, env, "");  // away: not read yet
}

}  // namespace
}  // namespace kestel
