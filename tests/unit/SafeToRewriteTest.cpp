// Which settings files the platform's writer may take over: a zero byte in an 8-bit file would make
// it drop lines, so such a file is refused; UTF-16 files are made of zero bytes and are fine.
#include <gtest/gtest.h>

#include <string>

#include "settings/SettingsFile.h"

namespace kestel {
namespace {

TEST(SafeToRewrite, RefusesOnlyEightBitFilesWithAZeroByte) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string content;
    bool safe;
  } cases[] = {
      {"empty file", "", true},
      {"ordinary file", "[connection]\r\nserver=home\r\n", true},
      {"every byte but zero",
       [] {
         std::string all;
         for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
         return all;
       }(),
       true},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[user]\r\nusername=ann\r\n", true},
      {"zero inside a value", "[user]\r\nusername=a\0b\r\n"s, false},
      {"zero alone on a line", "[a]\r\n\0\r\nb=c\r\n"s, false},
      {"zeros at the end", "[a]\r\nb=c\r\n\0\0"s, false},
      {"zero as first byte", "\0[a]\r\n"s, false},
      {"UTF-16 little-endian with its mark", "\xFF\xFE[\0a\0]\0"s, true},
      {"UTF-16 big-endian with its mark", "\xFE\xFF\0[\0a\0]"s, true},
      {"UTF-16 without its mark", "[\0a\0]\0"s, false},
      {"half a mark", "\xFF[\0"s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeToRewrite(c.content), c.safe) << c.name;
}

}  // namespace
}  // namespace kestel
