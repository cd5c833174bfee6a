// The system's ANSI code page at the Win32 edge, beside the UTF-8 and UTF-16 conversions of Utf.h:
// the only place where bytes of that code page become text or text becomes them.
#pragma once

#include <string>
#include <string_view>

namespace kestel {

// GetACP: the code page the system reads 8-bit text in, e.g. 1252 or 1251.
unsigned AnsiCodePageNumber();
// Every byte gives a letter (MultiByteToWideChar(CP_ACP)); what the code page does not define gives
// its default letter.
std::string AnsiToUtf8(std::string_view bytes);
// A letter the code page cannot hold becomes its default character: compare back to find out.
std::string Utf8ToAnsi(std::string_view text);

}  // namespace kestel
