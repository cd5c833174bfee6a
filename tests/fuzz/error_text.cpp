// The drive error boxes' trimming of the system's text: only trailing control bytes, blanks and full
// stops go; the result is a prefix of the text; bytes of 0x80 and above always stay.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/ErrorText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string trimmed = kestel::TrimErrorText(text);
  if (trimmed.size() > text.size() || text.compare(0, trimmed.size(), trimmed) != 0) std::abort();
  auto droppable = [](char c) { return static_cast<unsigned char>(c) < 0x21 || c == '.'; };
  if (!trimmed.empty() && droppable(trimmed.back())) std::abort();
  for (std::size_t i = trimmed.size(); i < text.size(); ++i)
    if (!droppable(text[i])) std::abort();
  return 0;
}
