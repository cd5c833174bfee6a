#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "settings/SettingsFile.h"
#include "tests/unit/FakeProfile.h"

namespace kestel {
namespace {

struct NumberCase {
  const char* text;
  std::optional<std::int32_t> value;  // nullopt: refused, the caller's default applies
};

TEST(ParseSettingNumber, AcceptsExactlyTheDocumentedForm) {
  const NumberCase cases[] = {
      // Decimal, signs, leading zeros (no octal), leading spaces.
      {"0", 0},
      {"1", 1},
      {"+7", 7},
      {"-1", -1},
      {"-0", 0},
      {"00", 0},
      {"010", 10},
      {"0009", 9},
      {"   42", 42},
      {" -3", -3},
      // The limits of 32 bits, and one past them.
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"+2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      // Every hexadecimal prefix, digits in either case.
      {"$A", 10},
      {"$a", 10},
      {"x1F", 31},
      {"X1f", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"0x1", 1},
      {"$0", 0},
      {"-$A", -10},
      {"+$A", 10},
      {"-0x10", -16},
      {"  0x10", 16},
      {" -x2", -2},
      // Hexadecimal fills 32 bits, read as two's complement; a minus sign negates that.
      {"$FFFFFFFF", -1},
      {"0xFFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$7FFFFFFF", 2147483647},
      {"-$FFFFFFFF", 1},
      {"$000000001", 1},
      {"$100000000", std::nullopt},
      // A sign or a prefix without digits, or nothing at all.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"x", std::nullopt},
      {"0x", std::nullopt},
      {"-0x", std::nullopt},
      {"-$", std::nullopt},
      // Anything after the last digit, or in between.
      {"1a", std::nullopt},
      {"1 ", std::nullopt},
      {"12 3", std::nullopt},
      {"$1G", std::nullopt},
      {"0x1g", std::nullopt},
      {"1.0", std::nullopt},
      // Only the space counts as a leading blank, and nothing goes between sign and digits.
      {"\t1", std::nullopt},
      {"- 1", std::nullopt},
      {"--1", std::nullopt},
      {"+-1", std::nullopt},
      // Prefixes that are not prefixes.
      {"$-5", std::nullopt},
      {"0x-5", std::nullopt},
      {"0xx5", std::nullopt},
      {"0x$5", std::nullopt},
      {"00x5", std::nullopt},
      {"$$5", std::nullopt},
      {"h10", std::nullopt},
      {"10h", std::nullopt},
      // Words.
      {"yes", std::nullopt},
      {"true", std::nullopt},
      {"on", std::nullopt},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(ParseSettingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReadSettingFlag, FollowsTheFlagTableForEitherDefault) {
  struct FlagCase {
    const char* value;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
  };
  const FlagCase cases[] = {
      {"1", true, true},    {"2", true, true},     {"-1", true, true},          {"0x1", true, true},
      {"$A", true, true},   {"0x10", true, true},  {"$FFFFFFFF", true, true},   {"0", false, false},
      {"00", false, false}, {"$0", false, false},  {"0x0", false, false},       {"-0", false, false},
      {"yes", false, true}, {"true", false, true}, {"on", false, true},         {"1a", false, true},
      {"", false, true},    {"0x", false, true},   {"2147483648", false, true},
  };
  for (const FlagCase& c : cases) {
    testing::FakeProfile profile;
    profile.Set("SCRIPTS", "showmaperrors", c.value);
    SettingsFile settings("C:\\k\\kestel.ini", profile);
    EXPECT_EQ(settings.ReadSettingFlag("SCRIPTS", "showmaperrors", false), c.whenDefaultFalse) << '"' << c.value << '"';
    EXPECT_EQ(settings.ReadSettingFlag("Scripts", "showmaperrors", true), c.whenDefaultTrue) << '"' << c.value << '"';
  }
}

TEST(ReadSettingFlag, MissingKeyTakesTheDefault) {
  testing::FakeProfile profile;
  SettingsFile settings("C:\\k\\kestel.ini", profile);
  EXPECT_FALSE(settings.ReadSettingFlag("SCRIPTS", "showmaperrors", false));
  EXPECT_TRUE(settings.ReadSettingFlag("Scripts", "HideScripts", true));
}

TEST(ReadSettingNumber, ReturnsTheValueOrTheDefault) {
  testing::FakeProfile profile;
  profile.Set("s", "hex", "0xFFFFFFFE").Set("s", "word", "many");
  SettingsFile settings("C:\\k\\kestel.ini", profile);
  EXPECT_EQ(settings.ReadSettingNumber("s", "hex", 5), -2);
  EXPECT_EQ(settings.ReadSettingNumber("s", "word", 5), 5);
  EXPECT_EQ(settings.ReadSettingNumber("s", "missing", -9), -9);
}

TEST(WriteSettingFlag, WritesOneOrZeroOnly) {
  testing::FakeProfile profile;
  SettingsFile settings("C:\\k\\kestel.ini", profile);
  settings.WriteSettingFlag("awayinternetsettings", "awayproxyenabled", true);
  settings.WriteSettingFlag("awayinternetsettings", "awayproxyenabled", false);
  EXPECT_EQ(profile.writes, (std::vector<std::string>{"awayinternetsettings/awayproxyenabled=1",
                                                      "awayinternetsettings/awayproxyenabled=0"}));
}

}  // namespace
}  // namespace kestel
