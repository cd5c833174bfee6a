#include "base/CodePageWin32.h"

#include <windows.h>

#include <limits>

#include "base/Utf.h"

namespace kestel {

unsigned AnsiCodePageNumber() {
  return GetACP();
}

std::string AnsiToUtf8(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), units);
  return Utf8(wide);
}

std::string Utf8ToAnsi(std::string_view text) {
  const std::wstring wide = Wide(text);
  if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  const int units = static_cast<int>(wide.size());
  // No best fit: a letter the code page lacks must not turn into a look-alike that reads back as it.
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace kestel
