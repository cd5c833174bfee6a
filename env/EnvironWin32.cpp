#include "env/EnvironWin32.h"

#include <windows.h>

#include <climits>
#include <cwchar>

#include "base/UniqueHandle.h"
#include "base/Utf.h"

namespace kestel {
namespace {

using EnvironmentBlock = Unique<wchar_t*, FreeEnvironmentStringsW>;

// The wide block as one UTF-8 block of the same shape: each entry ended by a zero, one more after the last.
std::string Utf8Block(const wchar_t* block) {
  if (block == nullptr) return {};
  const wchar_t* end = block;
  while (*end != L'\0') end += std::wcslen(end) + 1;
  return Utf8(std::wstring_view(block, static_cast<std::size_t>(end - block)));
}

}  // namespace

EnvironmentSnapshot TakeEnvironmentSnapshot() {
  const EnvironmentBlock block(GetEnvironmentStringsW());
  return EnvironmentSnapshot(ParseEnvironmentBlock(Utf8Block(block.get()).c_str()), LocaleNameEquals);
}

bool LocaleNameEquals(std::string_view a, std::string_view b) {
  // The platform refuses a null text, which an empty view may carry; two empty names are equal.
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  const std::wstring wideA = Wide(a);
  const std::wstring wideB = Wide(b);
  if (wideA.size() > INT_MAX || wideB.size() > INT_MAX) return false;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wideA.data(), static_cast<int>(wideA.size()),
                        wideB.data(), static_cast<int>(wideB.size())) == CSTR_EQUAL;
}

}  // namespace kestel
