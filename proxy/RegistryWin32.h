// The registry accessor over advapi32's W functions (RegOpenKeyExW, RegQueryValueExW, RegSetValueExW,
// RegDeleteValueW): each call opens the key it names and closes it again.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"
#include "proxy/Registry.h"

namespace kestel {

using UniqueRegistryKey = Unique<HKEY, RegCloseKey>;

// Texts are UTF-8.
class Win32Registry final : public RegistryAccess {
 public:
  Win32Registry() = default;

  // Asks for full access whether or not the caller means to write.
  bool HasKey(const std::string& key) override;
  std::int32_t ReadInteger(const std::string& key, const std::string& name) override;
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& key, const std::string& name) override;
  std::string ReadString(const std::string& key, const std::string& name) override;
  void WriteInteger(const std::string& key, const std::string& name, std::int32_t value) override;
  void WriteString(const std::string& key, const std::string& name, const std::string& text) override;
  void DeleteValue(const std::string& key, const std::string& name) override;
};

}  // namespace kestel
