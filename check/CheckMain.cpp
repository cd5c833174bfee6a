// kestel-check.exe: tells an administrator what Kestel will make of a kestel.ini. It only reads: the
// file through the same reader Kestel uses, and its own environment for the placeholders.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "settings/SettingsWin32.h"
#include "base/UniqueHandle.h"
#include "check/Findings.h"
#include "env/EnvironWin32.h"
#include "launch/AppDirectoryWin32.h"
#include "base/ErrorTextWin32.h"

namespace {

using kestel::check::Finding;
using kestel::check::Unreadable;

std::string SystemText(DWORD code) {
  return kestel::SystemErrorText(code) + " (" + std::to_string(code) + ")";
}

// The file's bytes, or the one finding that says why there are none.
std::variant<std::string, Finding> ReadBytes(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return kestel::check::UnreadableFile(missing ? Unreadable::Missing : Unreadable::Refused, SystemText(error));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kestel::check::UnreadableFile(Unreadable::Directory, {});
  const kestel::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return kestel::check::UnreadableFile(Unreadable::Refused, SystemText(GetLastError()));
  std::string bytes;
  std::vector<char> chunk(1 << 16);
  for (DWORD got = 0;; bytes.append(chunk.data(), got)) {
    if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
      return kestel::check::UnreadableFile(Unreadable::Refused, SystemText(GetLastError()));
    if (got == 0) return bytes;
  }
}

std::vector<Finding> Check(const std::string& path) {
  auto bytes = ReadBytes(path);
  if (auto* finding = std::get_if<Finding>(&bytes)) return {*finding};
  // The platform looks for a path without a folder in the Windows folder, not in the current one.
  char full[MAX_PATH + 1] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  kestel::Win32Profile profile;
  kestel::SettingsFile settings(length > 0 && length < sizeof full ? std::string(full, length) : path, profile);
  const kestel::EnvironmentSnapshot environment = kestel::TakeEnvironmentSnapshot();
  return kestel::check::CheckSettings(std::get<std::string>(bytes), settings,
                                      [&](const std::string& name) { return environment.ValueOf(name); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fputs("usage: kestel-check [PATH]\n", stderr);
    return 2;
  }
  kestel::InitAppDirectory();
  const std::string path = argc == 2 ? argv[1] : kestel::AppDirectory + std::string(kestel::kSettingsFileName);
  std::vector<Finding> findings;
  try {
    findings = Check(path);
  } catch (const std::exception& e) {
    findings = {kestel::check::UnreadableFile(Unreadable::Refused, e.what())};
  }
  const std::string report = kestel::check::FormatReport(path, findings);
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  return kestel::check::ExitCode(findings);
}
