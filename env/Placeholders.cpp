#include "env/Placeholders.h"

namespace kestel {
namespace {

constexpr char kDelimiter = '%';

// Only a-z: bytes of accented letters mean different letters in different code pages.
std::string UpperCaseAsciiLetters(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

std::string TrimControlAndSpace(std::string text) {
  std::size_t end = text.size();
  while (end > 0 && IsTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string ExpandPlaceholders(std::string_view text, const PlaceholderLookup& lookup) {
  std::string out;
  out.reserve(text.size());
  bool inside = false;
  std::size_t opened = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kDelimiter) {
      if (inside)
        out += lookup(TrimControlAndSpace(UpperCaseAsciiLetters(text.substr(opened + 1, i - opened - 1))));
      else
        opened = i;
      inside = !inside;
    } else if (!inside) {
      out += c;
    }
  }
  return out;
}

std::string LookupPlaceholder(const std::string& name, const std::string& userName,
                              const std::function<std::string(const std::string&)>& environmentValueOf) {
  return name == "INTERNALUSERNAME" ? userName : environmentValueOf(name);
}

}  // namespace kestel
