// Input: the bytes of an environment block, given its terminating NULs here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "env/Environ.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string block(reinterpret_cast<const char*>(data), size);
  block += std::string(2, '\0');
  const std::vector<std::string> lines = kestel::ParseEnvironmentBlock(block.c_str());

  // Round trip: the lines, each NUL-terminated, rebuild the block up to its first empty entry.
  std::string rebuilt;
  for (const std::string& line : lines) {
    Check(!line.empty() && line.find('\0') == std::string::npos);
    rebuilt += line + '\0';
  }
  const std::size_t end = block.find(std::string_view("\0\0", 2));
  Check(block[0] == '\0' ? rebuilt.empty() : rebuilt == block.substr(0, end + 1));

  const kestel::EnvironmentSnapshot env(lines);
  const auto names = [](const std::string& line, std::string_view name) {
    const std::size_t eq = line.find('=');
    return eq != std::string::npos && kestel::AsciiNameEquals(std::string_view(line).substr(0, eq), name);
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    // The first line of the same name answers, with exactly its own value.
    const std::string_view name = std::string_view(line).substr(0, eq);
    std::size_t first = 0;
    while (!names(lines[first], name)) ++first;
    Check(first <= i && env.ValueOf(name) == lines[first].substr(lines[first].find('=') + 1));
  }
  return 0;
}
