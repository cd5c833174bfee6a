// What the suite's stand-in system DLLs share: reading their settings from the environment the test
// gives the program, taking the texts they are handed in one encoding whichever function family was
// called, and appending one record line to the log it names.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "WideText.h"

namespace kestel::testing {

// A text as the stand-ins log it: UTF-8, nullopt for an absent pointer.
inline std::optional<std::string> TextOfWide(const wchar_t* text) {
  if (text == nullptr) return std::nullopt;
  return Utf8OfWide(text);
}

// An A function's text is in the ANSI code page of the process: a letter outside it arrived as the
// '?' it became, and is logged so.
inline std::optional<std::string> TextOfAnsi(const char* text) {
  if (text == nullptr) return std::nullopt;
  const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 1) return std::string();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
  return TextOfWide(wide.c_str());
}

// The value of an environment variable (its name in ASCII), in UTF-8.
inline std::optional<std::string> EnvironmentValue(const char* name) {
  wchar_t buffer[4096];
  const DWORD length = GetEnvironmentVariableW(WideOfUtf8(name).c_str(), buffer, 4096);
  if (length == 0 || length >= 4096) return std::nullopt;
  return TextOfWide(buffer);
}

// Appends line and a line end to the file named by logVariable; nothing when it is unset.
inline void AppendRecord(const char* logVariable, const std::string& line) {
  const auto path = EnvironmentValue(logVariable);
  if (!path) return;
  HANDLE file = CreateFileW(WideOfUtf8(*path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace kestel::testing
