// The system's ANSI code page at the Win32 edge, beside the UTF-8 and UTF-16 conversions of Utf.h:
// the only place where bytes of that code page become text or text becomes them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kestel {

// The system's conversion calls on the ANSI code page, each made for real. Wine takes flags that
// Windows refuses for some code pages (65001 among them), so a test gives a stand-in that answers as
// Windows documents.
class AnsiCodePageCalls {
 public:
  virtual ~AnsiCodePageCalls() = default;
  virtual UINT Number() const { return GetACP(); }
  virtual int ToWide(DWORD flags, const char* bytes, int size, wchar_t* wide, int units) const {
    return MultiByteToWideChar(CP_ACP, flags, bytes, size, wide, units);
  }
  virtual int FromWide(DWORD flags, const wchar_t* wide, int units, char* bytes, int size) const {
    return WideCharToMultiByte(CP_ACP, flags, wide, units, bytes, size, nullptr, nullptr);
  }
};

// GetACP: the code page the system reads 8-bit text in, e.g. 1252, 1251, or 65001 (UTF-8).
unsigned AnsiCodePageNumber(const AnsiCodePageCalls& calls = AnsiCodePageCalls());
// Every byte gives a letter (MultiByteToWideChar(CP_ACP)); what the code page does not define gives
// its default letter, U+FFFD under 65001.
std::string AnsiToUtf8(std::string_view bytes, const AnsiCodePageCalls& calls = AnsiCodePageCalls());
// A letter the code page cannot hold becomes its default character: compare back to find out.
std::string Utf8ToAnsi(std::string_view text, const AnsiCodePageCalls& calls = AnsiCodePageCalls());

}  // namespace kestel
