#include "base/ErrorTextWin32.h"

#include "base/ErrorText.h"

namespace kestel {

namespace {

constexpr DWORD kFormatFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
constexpr DWORD kErrorTextBufferSize = 256;

}  // namespace

std::string SystemErrorText(DWORD code) {
  char buffer[kErrorTextBufferSize];
  const DWORD length = FormatMessageA(kFormatFlags, nullptr, code, 0, buffer, kErrorTextBufferSize, nullptr);
  return TrimErrorText(std::string_view(buffer, length < kErrorTextBufferSize ? length : 0));
}

}  // namespace kestel
