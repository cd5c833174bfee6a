#include "base/ErrorTextWin32.h"

#include "base/ErrorText.h"
#include "base/Utf.h"

namespace kestel {

namespace {

constexpr DWORD kFormatFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
constexpr DWORD kErrorTextBufferSize = 256;

}  // namespace

std::string SystemErrorText(DWORD code) {
  wchar_t buffer[kErrorTextBufferSize];
  const DWORD length = FormatMessageW(kFormatFlags, nullptr, code, 0, buffer, kErrorTextBufferSize, nullptr);
  return TrimErrorText(Utf8(std::wstring_view(buffer, length < kErrorTextBufferSize ? length : 0)));
}

}  // namespace kestel
