// The registry as the internet settings switch uses it: every call names the key it reads or writes,
// below the current user's root, so a value can never land in a key some earlier call left open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestel {

// Operations and failures as the switch relies on them. A key is a path below the current user's
// root, e.g. "Software\\Microsoft\\Internet Explorer\\Main"; it is opened for full access for each
// call and never created. Failures are raised as kRegistryError ("Failed to get data for '%s'",
// "Invalid data type for '%s'", "Failed to set data for '%s'"), a key that cannot be opened failing
// as its value would.
class RegistryAccess {
 public:
  virtual ~RegistryAccess() = default;
  // Whether the key can be opened.
  virtual bool HasKey(const std::string& key) = 0;
  virtual std::int32_t ReadInteger(const std::string& key, const std::string& name) = 0;
  // As ReadInteger, but nullopt when the key (which can be opened) has no value of that name.
  virtual std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& key, const std::string& name) = 0;
  // Empty when the key cannot be opened or has no value of that name.
  virtual std::string ReadString(const std::string& key, const std::string& name) = 0;
  virtual void WriteInteger(const std::string& key, const std::string& name, std::int32_t value) = 0;
  virtual void WriteString(const std::string& key, const std::string& name, const std::string& text) = 0;
  // A value that is not there is already deleted; any other refusal fails as a write does.
  virtual void DeleteValue(const std::string& key, const std::string& name) = 0;
};

}  // namespace kestel
