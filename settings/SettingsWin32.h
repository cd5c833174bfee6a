// The platform's private-profile services, kernel32's GetPrivateProfileStringA and WritePrivateProfileStringA.
#pragma once

#include "settings/SettingsFile.h"

namespace kestel {

class Win32Profile final : public ProfileApi {
 public:
  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override;
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override;
};

}  // namespace kestel
