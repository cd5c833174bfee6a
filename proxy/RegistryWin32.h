// The registry accessor over advapi32 (RegOpenKeyExA, RegQueryValueExA, RegSetValueExA, RegCloseKey).
#pragma once

#include <windows.h>

#include "proxy/Registry.h"
#include "base/UniqueHandle.h"

namespace kestel {

using UniqueRegistryKey = Unique<HKEY, RegCloseKey>;

class Win32Registry final : public RegistryAccess {
 public:
  Win32Registry() = default;

  void SelectRoot(RegistryRoot root) override;
  // Asks for full access whether or not the caller means to write; with create, a missing key is made.
  bool OpenKey(const std::string& path, bool create) override;
  std::int32_t ReadInteger(const std::string& name) override;
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& name) override;
  std::string ReadString(const std::string& name) override;
  void WriteInteger(const std::string& name, std::int32_t value) override;
  void WriteString(const std::string& name, const std::string& text) override;
  void DeleteValue(const std::string& name) override;

 private:
  HKEY root_ = HKEY_CURRENT_USER;
  UniqueRegistryKey current_;
};

}  // namespace kestel
