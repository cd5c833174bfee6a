#include "app/SettingsWin32.h"

#include <windows.h>

namespace kestel {

std::uint32_t Win32Profile::GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                                      std::uint32_t size, const char* path) {
  return GetPrivateProfileStringA(section, key, defaultText, buffer, size, path);
}

bool Win32Profile::WriteString(const char* section, const char* key, const char* value, const char* path) {
  return WritePrivateProfileStringA(section, key, value, path) != 0;
}

}  // namespace kestel
