// The text form of a protected password's blob: standard base64 with padding, and nothing else read.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/Base64.h"

namespace kestel {
namespace {

// What the reader accepts is checked against the writer by the fuzz target; here, that the text is
// the standard one other tools read, and that the forms a file may hold by mistake are refused.
TEST(Base64, IsTheStandardFormWithPaddingAndNothingElse) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xFB\xEF\xFF", "++//"}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(EncodeBase64(bytes), text);
    EXPECT_EQ(DecodeBase64(text), bytes) << text;
  }
  for (const char* text : {"Zg=", "Zg", "Zm9v\r\n", " Zm9v", "Zm-v", "Zm_v", "Zg=a", "Z===", "Zg==Zm9v", "Zh=="})
    EXPECT_EQ(DecodeBase64(text), std::nullopt) << text;
}

}  // namespace
}  // namespace kestel
