// kestel-check.exe: tells an administrator what Kestel will make of a kestel.ini. It only reads: the
// file through the same reader Kestel uses, the Group Policy over it, and its own environment for the
// placeholders.
#include <windows.h>

#include <exception>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/AsciiText.h"
#include "base/ErrorTextWin32.h"
#include "base/UniqueHandle.h"
#include "base/Utf.h"
#include "check/Findings.h"
#include "env/EnvironWin32.h"
#include "launch/AppDirectoryWin32.h"
#include "settings/PolicyWin32.h"
#include "settings/SettingsWin32.h"

namespace {

using kestel::check::Finding;
using kestel::check::Unreadable;

std::string SystemText(DWORD code) {
  return kestel::SystemErrorText(code) + " (" + std::to_string(code) + ")";
}

// Why a file gives no bytes.
struct NoBytes {
  Unreadable why;
  std::string reason;
};

// The file's bytes, or why there are none.
std::variant<std::string, NoBytes> ReadBytes(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(kestel::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return NoBytes{missing ? Unreadable::Missing : Unreadable::Refused, SystemText(error)};
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NoBytes{Unreadable::Directory, {}};
  std::string bytes;
  kestel::Win32SettingsStore store;
  if (store.ReadAll(path, bytes) != kestel::SettingsStore::Read::Ok)
    return NoBytes{Unreadable::Refused, SystemText(GetLastError())};
  return bytes;
}

// policy: the policy in force for the user who runs the checker, on this machine; null for the file alone.
std::vector<Finding> Check(const std::string& path, const kestel::Policy* policy) {
  auto bytes = ReadBytes(path);
  if (const auto* none = std::get_if<NoBytes>(&bytes)) {
    if (policy == nullptr) return {kestel::check::UnreadableFile(none->why, none->reason)};
    return kestel::check::CheckUnreadable(none->why, none->reason, *policy);
  }
  kestel::Win32Profile profile;
  kestel::SettingsFile settings(path, profile);
  const kestel::EnvironmentSnapshot environment = kestel::TakeEnvironmentSnapshot();
  return kestel::check::CheckSettings(
      std::get<std::string>(bytes), kestel::Win32AnsiCodePage(), settings,
      [&](const std::string& name) { return environment.ValueOf(name); }, policy);
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
  // /fileonly checks a file as it will be rolled out, whatever policy this machine and user have.
  bool fileOnly = false;
  std::optional<std::string> named;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = kestel::Utf8(argv[i]);
    if (!fileOnly && kestel::AsciiNameEquals(argument, "/fileonly")) {
      fileOnly = true;
    } else if (!named) {
      named = argument;
    } else {
      Print(GetStdHandle(STD_ERROR_HANDLE),
            "usage: kestel-check [/fileonly] [PATH]\n"
            "  /fileonly  the file alone, without the Group Policy of this machine and user over it\n");
      return 2;
    }
  }
  kestel::InitAppDirectory();
  const std::string path = named ? *named : kestel::AppDirectory + std::string(kestel::kSettingsFileName);
  std::vector<Finding> findings;
  try {
    std::optional<kestel::Policy> policy;
    if (!fileOnly) {
      kestel::Advapi32PolicyCalls calls;
      kestel::Win32PolicyStore store(calls);
      policy = kestel::ReadPolicy(store);
    }
    findings = Check(path, policy ? &*policy : nullptr);
  } catch (const std::exception& e) {
    findings = {kestel::check::UnreadableFile(Unreadable::Refused, e.what())};
  }
  Print(GetStdHandle(STD_OUTPUT_HANDLE), kestel::check::FormatReport(path, findings));
  return kestel::check::ExitCode(findings);
}
