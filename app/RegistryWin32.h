// The registry accessor over advapi32 (RegOpenKeyExA, RegQueryValueExA, RegSetValueExA, RegCloseKey).
#pragma once

#include <windows.h>

#include "app/Registry.h"

namespace kestel {

class Win32Registry final : public RegistryAccess {
 public:
  Win32Registry();
  ~Win32Registry() override;
  Win32Registry(const Win32Registry&) = delete;
  Win32Registry& operator=(const Win32Registry&) = delete;

  void SelectRoot(RegistryRoot root) override;
  bool OpenKey(const std::string& path, bool create) override;
  std::int32_t ReadInteger(const std::string& name) override;
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& name) override;
  std::string ReadString(const std::string& name) override;
  void WriteInteger(const std::string& name, std::int32_t value) override;
  void WriteString(const std::string& name, const std::string& text) override;

 private:
  HKEY root_;
  HKEY current_ = nullptr;
};

}  // namespace kestel
