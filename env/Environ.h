// The environment snapshot: the process environment copied once, looked up by name.
#pragma once

#include <string>
#include <string_view>

#include "app/Config.h"

namespace kestel {

// Name comparison without regard to letter case; the product compares by the user's locale.
using NameEquals = bool (*)(std::string_view a, std::string_view b);
bool AsciiNameEquals(std::string_view a, std::string_view b);

// The lines of an environment block: NUL-terminated entries ending with an empty one. Every entry is
// kept as it stands, those beginning with "=" included. A null block gives no lines.
TStringList ParseEnvironmentBlock(const char* block);

// The text before a line's first "="; empty when the line begins with "=" or holds none.
std::string_view NamePart(std::string_view line) noexcept;

class TEnvironment {
 public:
  // Key starts at 0 and Value at the value of line 0's name; an empty snapshot leaves Value empty.
  explicit TEnvironment(TStringList lines = {}, NameEquals equals = AsciiNameEquals);

  // The value part of the first line holding "=" whose name equals name; empty when none does.
  std::string ValueOf(std::string_view name) const;

  int Key() const noexcept { return key_; }
  // Selecting the current index again changes nothing. Otherwise Value becomes the value of the
  // selected line's name. Raises kListIndexError "List index out of bounds (%d)" for an index outside
  // the snapshot, leaving Key and Value as they were.
  void SetKey(int index);

  const std::string& Value() const noexcept { return value_; }
  // Stores the text only: neither the snapshot nor the process environment changes.
  void SetValue(std::string value) { value_ = std::move(value); }

  const TStringList& Lines() const noexcept { return lines_; }

 private:
  TStringList lines_;
  NameEquals equals_;
  int key_ = 0;
  std::string value_;
};

}  // namespace kestel
