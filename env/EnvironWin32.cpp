#include "env/EnvironWin32.h"

#include <windows.h>

#include <climits>

#include "base/UniqueHandle.h"

namespace kestel {
namespace {

using EnvironmentBlock = Unique<char*, FreeEnvironmentStringsA>;

}  // namespace

EnvironmentSnapshot TakeEnvironmentSnapshot() {
  const EnvironmentBlock block(GetEnvironmentStringsA());
  return EnvironmentSnapshot(ParseEnvironmentBlock(block.get()), LocaleNameEquals);
}

bool LocaleNameEquals(std::string_view a, std::string_view b) {
  // The platform refuses a null text, which an empty view may carry; two empty names are equal.
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace kestel
