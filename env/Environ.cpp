#include "env/Environ.h"

#include <cstring>
#include <utility>

#include "app/Errors.h"

namespace kestel {

bool AsciiNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

TStringList ParseEnvironmentBlock(const char* block) {
  TStringList lines;
  if (!block) return lines;
  for (const char* p = block; *p != '\0';) {
    const std::size_t length = std::strlen(p);
    lines.emplace_back(p, length);
    p += length + 1;
  }
  return lines;
}

std::string_view NamePart(std::string_view line) noexcept {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

TEnvironment::TEnvironment(TStringList lines, NameEquals equals) : lines_(std::move(lines)), equals_(equals) {
  // The block is never empty on a working system; should it be, there is no line 0 to select.
  if (!lines_.empty()) value_ = ValueOf(NamePart(lines_.front()));
}

std::string TEnvironment::ValueOf(std::string_view name) const {
  for (const std::string& line : lines_) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && equals_(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return {};
}

void TEnvironment::SetKey(int index) {
  if (index == key_) return;
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size())
    Raise(kListIndexError, "List index out of bounds (" + std::to_string(index) + ")");
  // Through the name, not the line: for a duplicated name this is the first line's value.
  value_ = ValueOf(NamePart(lines_[static_cast<std::size_t>(index)]));
  key_ = index;
}

}  // namespace kestel
