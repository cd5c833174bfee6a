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

// The accessor for texts in the ANSI code page, as the settings file's reader still gives them: each
// text crosses to and from UTF-8 here, so the registry receives exactly what the A functions gave it.
// Goes once kestel.ini is read as UTF-8.
class CodePageRegistry final : public RegistryAccess {
 public:
  bool HasKey(const std::string& key) override { return registry_.HasKey(key); }
  std::int32_t ReadInteger(const std::string& key, const std::string& name) override {
    return registry_.ReadInteger(key, name);
  }
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& key, const std::string& name) override {
    return registry_.ReadIntegerIfPresent(key, name);
  }
  std::string ReadString(const std::string& key, const std::string& name) override;
  void WriteInteger(const std::string& key, const std::string& name, std::int32_t value) override {
    registry_.WriteInteger(key, name, value);
  }
  void WriteString(const std::string& key, const std::string& name, const std::string& text) override;
  void DeleteValue(const std::string& key, const std::string& name) override { registry_.DeleteValue(key, name); }

 private:
  Win32Registry registry_;
};

}  // namespace kestel
