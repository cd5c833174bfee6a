// Errors that end the run: raised by the settings file and the registry accessor and caught by
// nobody but the entry point, which reports them in the "Application Error" box.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestel {

// Names of the kinds of error, as the "Application Error" box shows them.
inline constexpr const char* kSettingsWriteError = "SettingsWriteError";
inline constexpr const char* kRegistryError = "RegistryError";
// Raised by the runtime rather than by Raise.
inline constexpr const char* kOutOfMemory = "OutOfMemory";
inline constexpr const char* kRuntimeError = "RuntimeError";

class Error : public std::runtime_error {
 public:
  Error(std::string kind, const std::string& message, const void* address);
  const std::string& Kind() const noexcept { return kind_; }
  // Where the error was raised: the return address into the code that called Raise.
  const void* Address() const noexcept { return address_; }

 private:
  std::string kind_;
  const void* address_;
};

// Raises an Error of the given kind, recording the caller's code address as the place it arose.
[[noreturn]] void Raise(const std::string& kind, const std::string& message);

// The text of the "Application Error" box: "Exception KIND in module MODULE at ADDRESS." CRLF,
// the message with a full stop added unless it is empty or already ends in one, CRLF.
std::string FormatApplicationErrorText(const std::string& kind, const std::string& moduleName, std::uintptr_t address,
                                       const std::string& message);

}  // namespace kestel
