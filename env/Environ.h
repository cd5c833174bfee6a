// The environment snapshot: the process environment copied once, looked up by name.
#pragma once

#include <string>
#include <string_view>

#include "app/Config.h"

namespace kestel {

// Name comparison without regard to letter case; the product compares by the user's locale.
using NameEquals = bool (*)(std::string_view a, std::string_view b);
bool AsciiNameEquals(std::string_view a, std::string_view b);

// The lines of an environment block: NUL-terminated entries ending with an empty one.
TStringList ParseEnvironmentBlock(const char* block);

class TEnvironment {
 public:
  explicit TEnvironment(TStringList lines = {}, NameEquals equals = AsciiNameEquals);

  std::string ValueOf(const std::string& name) const;
  int Key() const noexcept { return key_; }
  // Raises kListIndexError "List index out of bounds (%d)" for an index outside the snapshot.
  void SetKey(int index);
  const std::string& Value() const noexcept { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }
  const TStringList& Lines() const noexcept { return lines_; }

 private:
  TStringList lines_;
  NameEquals equals_;
  int key_ = 0;
  std::string value_;
};

}  // namespace kestel
