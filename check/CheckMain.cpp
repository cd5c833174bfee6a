// kestel-check.exe: tells an administrator what Kestel will make of a kestel.ini. It only reads: the
// file through the same reader Kestel uses, and its own environment for the placeholders.
#include <windows.h>

#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "base/ErrorTextWin32.h"
#include "base/UniqueHandle.h"
#include "base/Utf.h"
#include "check/Findings.h"
#include "env/EnvironWin32.h"
#include "launch/AppDirectoryWin32.h"
#include "settings/SettingsWin32.h"

namespace {

using kestel::check::Finding;
using kestel::check::Unreadable;

std::string SystemText(DWORD code) {
  return kestel::SystemErrorText(code) + " (" + std::to_string(code) + ")";
}

// The file's bytes, or the one finding that says why there are none.
std::variant<std::string, Finding> ReadBytes(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(kestel::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return kestel::check::UnreadableFile(missing ? Unreadable::Missing : Unreadable::Refused, SystemText(error));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kestel::check::UnreadableFile(Unreadable::Directory, {});
  std::string bytes;
  kestel::Win32SettingsStore store;
  if (store.ReadAll(path, bytes) != kestel::SettingsStore::Read::Ok)
    return kestel::check::UnreadableFile(Unreadable::Refused, SystemText(GetLastError()));
  return bytes;
}

std::vector<Finding> Check(const std::string& path) {
  auto bytes = ReadBytes(path);
  if (auto* finding = std::get_if<Finding>(&bytes)) return {*finding};
  kestel::Win32Profile profile;
  kestel::SettingsFile settings(path, profile);
  const kestel::EnvironmentSnapshot environment = kestel::TakeEnvironmentSnapshot();
  return kestel::check::CheckSettings(std::get<std::string>(bytes), kestel::Win32AnsiCodePage(), settings,
                                      [&](const std::string& name) { return environment.ValueOf(name); });
}

// To a console as wide text, so that every letter shows whatever its code page; redirected, as UTF-8.
void Print(HANDLE output, const std::string& text) {
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(output, &mode)) {
    const std::wstring wide = kestel::Wide(text);
    WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 2) {
    Print(GetStdHandle(STD_ERROR_HANDLE), "usage: kestel-check [PATH]\n");
    return 2;
  }
  kestel::InitAppDirectory();
  const std::string path =
      argc == 2 ? kestel::Utf8(argv[1]) : kestel::AppDirectory + std::string(kestel::kSettingsFileName);
  std::vector<Finding> findings;
  try {
    findings = Check(path);
  } catch (const std::exception& e) {
    findings = {kestel::check::UnreadableFile(Unreadable::Refused, e.what())};
  }
  Print(GetStdHandle(STD_OUTPUT_HANDLE), kestel::check::FormatReport(path, findings));
  return kestel::check::ExitCode(findings);
}
