#include "settings/SettingsWin32.h"

#include <windows.h>

#include <limits>
#include <string>

#include "base/CodePageWin32.h"
#include "base/UniqueHandle.h"
#include "base/Utf.h"

namespace kestel {

namespace {

// Closes the file written beside the settings file, and removes it unless it was swapped in.
struct BesideFile {
  std::wstring path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool kept = false;
  ~BesideFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (!kept && !path.empty()) DeleteFileW(path.c_str());
  }
};

bool WriteAll(HANDLE file, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// Where users may change kestel.ini but not add a file to its folder (the folder locked down, the
// file's own permissions opened), the file is rewritten where it lies, as earlier Kestel always did:
// such a deployment must not lose the typed credentials because the safer swap is not allowed.
bool RewriteInPlace(const std::wstring& target, const std::string& bytes) {
  const HANDLE opened = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  const UniqueHandle file(opened);
  return WriteAll(file.get(), bytes) && SetEndOfFile(file.get()) && FlushFileBuffers(file.get());
}

}  // namespace

unsigned Win32AnsiCodePage::Number() const {
  return AnsiCodePageNumber();
}

std::string Win32AnsiCodePage::ToUtf8(std::string_view bytes) const {
  return AnsiToUtf8(bytes);
}

std::string Win32AnsiCodePage::FromUtf8(std::string_view text) const {
  return Utf8ToAnsi(text);
}

SettingsStore::Read Win32SettingsStore::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  const HANDLE opened =
      CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Read::Missing : Read::Refused;
  }
  const UniqueHandle file(opened);
  char chunk[65536];
  for (DWORD got = 0;; bytes.append(chunk, got)) {
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return Read::Refused;
    if (got == 0) return Read::Ok;
  }
}

bool Win32SettingsStore::ReplaceAll(const std::string& path, const std::string& bytes) {
  const std::wstring target = Wide(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;

  // Beside the file, so that the swap stays on one volume and never copies.
  BesideFile beside;
  beside.path = target + L".kestel-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  beside.handle =
      CreateFileW(beside.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (beside.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    beside.path.clear();  // not ours to remove
    return exists && error == ERROR_ACCESS_DENIED && RewriteInPlace(target, bytes);
  }
  if (!WriteAll(beside.handle, bytes) || !FlushFileBuffers(beside.handle)) return false;
  CloseHandle(beside.handle);
  beside.handle = INVALID_HANDLE_VALUE;

  // ReplaceFileW keeps the file's attributes and permissions. Refused, it leaves the old file whole,
  // except that it may have taken the old one away before failing to move the new one in: the new one
  // is then moved into place, or left beside when even that fails, so that the settings stay somewhere.
  if (exists) {
    if (ReplaceFileW(target.c_str(), beside.path.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
      return beside.kept = true;
    // Still there: the swap was refused (the file not ours to delete, or held open) and the old file is
    // whole. It is rewritten in place where it may be written; one held open against writing refuses that too.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return RewriteInPlace(target, bytes);
  }
  if (MoveFileExW(beside.path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return beside.kept = true;
  beside.kept = exists;
  return false;
}

}  // namespace kestel
