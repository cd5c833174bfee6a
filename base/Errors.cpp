#include "base/Errors.h"

#include <cstdio>
#include <utility>

namespace kestel {

Error::Error(std::string kind, const std::string& message, const void* address)
    : std::runtime_error(message), kind_(std::move(kind)), address_(address) {}

// Kept out of line so that the return address names the code that raised the error.
[[noreturn]] __attribute__((noinline)) void Raise(const std::string& kind, const std::string& message) {
  throw Error(kind, message, __builtin_return_address(0));
}

std::string FormatApplicationErrorText(const std::string& kind, const std::string& moduleName, std::uintptr_t address,
                                       const std::string& message) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(address));
  std::string text = "Exception " + kind + " in module " + moduleName + " at " + hex + ".\r\n" + message;
  if (!message.empty() && message.back() != '.') text += '.';
  text += "\r\n";
  return text;
}

}  // namespace kestel
