// The registry accessor used by the internet settings switch: one root, at most one open key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestel {

// Predefined roots, by their platform values.
enum class RegistryRoot : std::uint32_t { CurrentUser = 0x80000001u };

// Operations and failures as the switch relies on them; failures are raised as kRegistryError
// ("Failed to get data for '%s'", "Invalid data type for '%s'", "Failed to set data for '%s'").
class RegistryAccess {
 public:
  virtual ~RegistryAccess() = default;
  virtual void SelectRoot(RegistryRoot root) = 0;
  // A path that begins with a backslash starts from the root. Creation is never asked for by the switch.
  virtual bool OpenKey(const std::string& path, bool create) = 0;
  virtual std::int32_t ReadInteger(const std::string& name) = 0;
  // As ReadInteger, but nullopt when the current key has no value of that name.
  virtual std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& name) = 0;
  virtual std::string ReadString(const std::string& name) = 0;
  virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& text) = 0;
  // A value that is not there is already deleted; any other refusal fails as a write does.
  virtual void DeleteValue(const std::string& name) = 0;
};

}  // namespace kestel
