#include "env/Environ.h"

#include <utility>

namespace kestel {

bool AsciiNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

TStringList ParseEnvironmentBlock(const char* block) {
  TStringList lines;
  for (const char* p = block; p && *p; p += lines.back().size() + 1) lines.emplace_back(p);
  return lines;
}

// Stand-in until the snapshot lands.
TEnvironment::TEnvironment(TStringList lines, NameEquals equals) : lines_(std::move(lines)), equals_(equals) {}
std::string TEnvironment::ValueOf(const std::string& name) const {
  for (const std::string& line : lines_)
    if (const auto eq = line.find('='); eq != std::string::npos && equals_(std::string_view(line).substr(0, eq), name))
      return line.substr(eq + 1);
  return {};
}
void TEnvironment::SetKey(int index) { key_ = index; }

}  // namespace kestel
