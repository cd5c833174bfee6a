// Names compared without regard to letter case, in ASCII only: the names of settings, sections,
// environment variables and command words, where no code page may make two different names equal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestel {

constexpr char AsciiLower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

constexpr bool AsciiNameEquals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace kestel
