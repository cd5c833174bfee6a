#include "env/Environ.h"

#include <cstring>
#include <utility>

namespace kestel {

std::vector<std::string> ParseEnvironmentBlock(const char* block) {
  std::vector<std::string> lines;
  if (!block) return lines;
  for (const char* p = block; *p != '\0';) {
    const std::size_t length = std::strlen(p);
    lines.emplace_back(p, length);
    p += length + 1;
  }
  return lines;
}

EnvironmentSnapshot::EnvironmentSnapshot(std::vector<std::string> lines, NameEquals equals)
    : lines_(std::move(lines)), equals_(equals) {}

std::string EnvironmentSnapshot::ValueOf(std::string_view name) const {
  for (const std::string& line : lines_) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && equals_(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return {};
}

}  // namespace kestel
