#include "base/ErrorText.h"

namespace kestel {

std::string TrimErrorText(std::string_view text) {
  // Bytes are compared unsigned so that text in a code page's upper half is never taken for a
  // control character.
  std::size_t length = text.size();
  while (length > 0) {
    const auto last = static_cast<unsigned char>(text[length - 1]);
    if (last >= 0x21 && last != '.') break;
    --length;
  }
  return std::string(text.substr(0, length));
}

}  // namespace kestel
