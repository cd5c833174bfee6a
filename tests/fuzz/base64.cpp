// A protected password's text form: whatever the reader accepts is the one text of its bytes, and the
// text of any bytes reads back as them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (const auto bytes = kestel::DecodeBase64(input); bytes && kestel::EncodeBase64(*bytes) != input) std::abort();
  if (kestel::DecodeBase64(kestel::EncodeBase64(input)) != input) std::abort();
  return 0;
}
