// The text form of a protected password's blob: standard base64 with padding, and nothing else read.
#include <gtest/gtest.h>

#include <string>

#include "app/StoredPassword.h"

namespace kestel {
namespace {

TEST(Base64, EncodesTheStandardVectorsAndEveryByteValueBothWays) {
  const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xFB\xEF\xFF", "++//"}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(EncodeBase64(bytes), text);
    EXPECT_EQ(DecodeBase64(text), bytes) << text;
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (std::size_t cut = 0; cut < 4; ++cut) {
    const std::string bytes = all.substr(cut);
    EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes);
  }
}

TEST(Base64, RefusesTextThatIsCutShortDamagedOrNotCanonical) {
  for (const char* text : {"Zg=", "Zg", "Zm9vY", "Zm9v\r\n", " Zm9v", "Zm9v ", "Zm-v", "Zm_v", "\"Zm9v\"", "Zg=a",
                           "Z===", "====", "Zg==Zm9v", "Zm8=Zg==", "Zh==", "Zm9=", "Zm\x80v"})
    EXPECT_EQ(DecodeBase64(text), std::nullopt) << text;
}

}  // namespace
}  // namespace kestel
