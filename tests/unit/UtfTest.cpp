#include <gtest/gtest.h>

#include "base/Utf.h"

namespace kestel {
namespace {

TEST(Utf, RoundTripsEveryPlaneAndMarksWhatIsMalformed) {
  struct Row {
    std::string utf8;
    std::u16string utf16;
    bool valid;
  };
  const Row rows[] = {
      {"", u"", true},
      {"\\\\srv\\B\xC3\xBCro \xE2\x82\xAC", u"\\\\srv\\B\u00FCro \u20AC", true},
      {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", u"\u041F\u0440\u0438\u0432\u0435\u0442", true},
      {"\xF0\x9F\x94\x91", u"\U0001F511", true},
      {"\xEF\xBF\xBD", u"\uFFFD", true},
      // A code page byte, a cut sequence, an overlong slash, an encoded surrogate: one U+FFFD a byte.
      {"B\xFCro", u"B\uFFFDro", false},
      {"a\xE2\x82", u"a\uFFFD\uFFFD", false},
      {"\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(Utf8ToUtf16(row.utf8), row.utf16);
    EXPECT_EQ(IsValidUtf8(row.utf8), row.valid);
    if (row.valid) EXPECT_EQ(Utf16ToUtf8(row.utf16), row.utf8);
  }
  EXPECT_EQ(Utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
}

}  // namespace
}  // namespace kestel
