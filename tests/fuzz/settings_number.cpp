// The settings file's number parser against a plain reference for the decimal forms, and
// self-consistency for every other input.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "settings/SettingsFile.h"

namespace {

// Blanks, an optional sign, decimal digits and nothing else.
bool IsPlainDecimal(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> parsed = kestel::ParseSettingNumber(text);
  if (IsPlainDecimal(text) && text.find('\0') == std::string::npos) {
    // Leading zeros make long texts of small numbers; only texts strtoll reads exactly are compared.
    errno = 0;
    const long long reference = std::strtoll(text.c_str(), nullptr, 10);
    const bool inRange = errno == 0 && reference >= INT32_MIN && reference <= INT32_MAX;
    if (parsed.has_value() != inRange) std::abort();
    if (parsed && *parsed != reference) std::abort();
  }
  if (parsed) {
    // Whatever was accepted, its decimal form reads back as the same number.
    if (kestel::ParseSettingNumber(std::to_string(*parsed)) != parsed) std::abort();
  }
  return 0;
}
