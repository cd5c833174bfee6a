#include "base/CodePageWin32.h"

#include <limits>

#include "base/Utf.h"

namespace kestel {

namespace {

// WC_NO_BEST_FIT_CHARS, or nothing where the code page takes no such flag: WideCharToMultiByte fails
// with ERROR_INVALID_FLAGS for any flag on these, and for any but WC_ERR_INVALID_CHARS on UTF-8
// (the ANSI code page of a system with "Use Unicode UTF-8 for worldwide language support") and
// GB18030. Those two hold every letter, so there is no look-alike to keep out.
DWORD NoBestFitFlags(UINT codePage) {
  switch (codePage) {
    case 42:
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 54936:
    case CP_UTF7:
    case CP_UTF8:
      return 0;
    default:
      return codePage >= 57002 && codePage <= 57011 ? 0 : WC_NO_BEST_FIT_CHARS;
  }
}

}  // namespace

unsigned AnsiCodePageNumber(const AnsiCodePageCalls& calls) {
  return calls.Number();
}

std::string AnsiToUtf8(std::string_view bytes, const AnsiCodePageCalls& calls) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  const int size = static_cast<int>(bytes.size());
  const int units = calls.ToWide(0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) calls.ToWide(0, bytes.data(), size, wide.data(), units);
  return Utf8(wide);
}

std::string Utf8ToAnsi(std::string_view text, const AnsiCodePageCalls& calls) {
  const std::wstring wide = Wide(text);
  if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  const int units = static_cast<int>(wide.size());
  // No best fit: a letter the code page lacks must not turn into a look-alike that reads back as it.
  const DWORD flags = NoBestFitFlags(calls.Number());
  const int size = calls.FromWide(flags, wide.data(), units, nullptr, 0);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) calls.FromWide(flags, wide.data(), units, bytes.data(), size);
  return bytes;
}

}  // namespace kestel
