// The environment snapshot: the process environment copied once, looked up by name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/AsciiText.h"

namespace kestel {

// Name comparison without regard to letter case; the product compares by the user's locale.
using NameEquals = bool (*)(std::string_view a, std::string_view b);

// The lines of an environment block: NUL-terminated entries ending with an empty one. Every entry is
// kept as it stands, those beginning with "=" included. A null block gives no lines.
std::vector<std::string> ParseEnvironmentBlock(const char* block);

class EnvironmentSnapshot {
 public:
  explicit EnvironmentSnapshot(std::vector<std::string> lines = {}, NameEquals equals = AsciiNameEquals);

  // The value part of the first line holding "=" whose name equals name; empty when none does.
  std::string ValueOf(std::string_view name) const;

  const std::vector<std::string>& Lines() const noexcept { return lines_; }

 private:
  std::vector<std::string> lines_;
  NameEquals equals_;
};

}  // namespace kestel
