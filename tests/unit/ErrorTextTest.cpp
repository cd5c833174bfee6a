#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/ErrorText.h"

namespace kestel {
namespace {

struct TrimCase {
  std::string_view in;
  std::string_view out;
};

TEST(TrimErrorText, DropsTrailingControlBytesBlanksAndFullStopsInAnyMix) {
  using namespace std::string_view_literals;
  const TrimCase cases[] = {
      {"Bad network name.\r\n", "Bad network name"},
      {"Logon failure.", "Logon failure"},
      {"No network", "No network"},
      {"Trailing . . \t\r\n.. ", "Trailing"},
      {"Version 1.1 is required.\r\n", "Version 1.1 is required"},  // inner full stops stay
      {"  leading blanks stay.\r\n", "  leading blanks stay"},
      {"Ends in a tab\t", "Ends in a tab"},
      {"\x1f\x01\x20", ""},
      {"....", ""},
      {"", ""},
      {"Mid\0dle\0"sv, "Mid\0dle"sv},  // a NUL is below 0x21 like any other control byte
      {"!", "!"},                      // 0x21 is the first byte that stays
  };
  for (const TrimCase& c : cases) EXPECT_EQ(TrimErrorText(c.in), c.out) << "input: " << std::string(c.in);
}

TEST(TrimErrorText, KeepsBytesOfTheUpperHalfOfTheCodePage) {
  // Signed chars would read these as negative, that is below 0x21, and drop them.
  EXPECT_EQ(TrimErrorText("Zugriff verweigert \xe4\r\n"), "Zugriff verweigert \xe4");
  EXPECT_EQ(TrimErrorText("\x80\xff."), "\x80\xff");
  EXPECT_EQ(TrimErrorText("\xa0"), "\xa0");  // a no-break space of the code page is not a blank
}

}  // namespace
}  // namespace kestel
