#include "settings/SettingsWin32.h"

#include <windows.h>

#include <optional>
#include <string>

#include "base/UniqueHandle.h"

namespace kestel {

namespace {

// The file's bytes; nullopt when it cannot be read, in which case the write itself reports.
std::optional<std::string> ReadWholeFile(const char* path) {
  const HANDLE opened = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  const UniqueHandle file(opened);
  std::string content;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
  return content;
}

}  // namespace

std::uint32_t Win32Profile::GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                                      std::uint32_t size, const char* path) {
  return GetPrivateProfileStringA(section, key, defaultText, buffer, size, path);
}

bool Win32Profile::WriteString(const char* section, const char* key, const char* value, const char* path) {
  // A write the platform would cut the file short with is refused, so the file stays as it was.
  if (const auto content = ReadWholeFile(path); content && !SafeToRewrite(*content)) return false;
  return WritePrivateProfileStringA(section, key, value, path) != 0;
}

}  // namespace kestel
