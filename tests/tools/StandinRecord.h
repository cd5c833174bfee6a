// What the suite's stand-in system DLLs share: reading their settings from the environment the test
// gives the program, and appending one record line to the log it names.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kestel::testing {

inline std::optional<std::string> EnvironmentValue(const char* name) {
  char buffer[4096];
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::nullopt;
  return std::string(buffer, length);
}

// Appends line and a line end to the file named by logVariable; nothing when it is unset.
inline void AppendRecord(const char* logVariable, const std::string& line) {
  const auto path = EnvironmentValue(logVariable);
  if (!path) return;
  HANDLE file = CreateFileA(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace kestel::testing
