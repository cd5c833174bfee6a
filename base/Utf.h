// Text inside Kestel is UTF-8 in std::string; the platform takes UTF-16. Every conversion between the
// two goes through here, so that a letter outside any code page crosses the Win32 edge whole.
#pragma once

#include <string>
#include <string_view>

namespace kestel {

// Each malformed sequence (a stray byte, a lone surrogate) becomes U+FFFD: nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Little-endian pairs of bytes as UTF-16 units, as a file or a registry value holds them; an odd last
// byte is no unit.
std::u16string Utf16LeUnits(std::string_view bytes);
// True when text is UTF-8 throughout: no stray byte, no overlong form, no surrogate, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text);

#ifdef _WIN32
// The Win32 edge: wchar_t is a UTF-16 unit there.
inline std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}
inline std::string Utf8(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}
#endif

}  // namespace kestel
