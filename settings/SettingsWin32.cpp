#include "settings/SettingsWin32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/CodePageWin32.h"
#include "base/ModuleFileName.h"
#include "base/UniqueHandle.h"
#include "base/Utf.h"

namespace kestel {

namespace {

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
              kErrorLockViolation == ERROR_LOCK_VIOLATION && kErrorFileExists == ERROR_FILE_EXISTS &&
              kErrorAlreadyExists == ERROR_ALREADY_EXISTS &&
              kErrorUnableToRemoveReplaced == ERROR_UNABLE_TO_REMOVE_REPLACED &&
              kErrorUnableToMoveReplacement == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
              kErrorUnableToMoveReplacement2 == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
              kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY && kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);

std::uint32_t Result(BOOL ok) {
  return ok ? 0 : GetLastError();
}

class Win32File final : public FileCalls::File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  std::uint32_t Write(std::string_view bytes) override {
    for (std::size_t done = 0; done < bytes.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
      DWORD written = 0;
      if (!WriteFile(handle_.get(), bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
      if (written == 0) return ERROR_WRITE_FAULT;
      done += written;
    }
    return 0;
  }
  std::uint32_t EndHere() override { return Result(SetEndOfFile(handle_.get())); }
  std::uint32_t Flush() override { return Result(FlushFileBuffers(handle_.get())); }
  std::uint32_t Discard() override {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return Result(SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &disposition, sizeof disposition));
  }

 private:
  UniqueHandle handle_;
};

// The file name of a path, after its last separator.
std::wstring_view NameOf(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::uint32_t Win32FileCalls::Open(const std::string& path, Access access, std::unique_ptr<File>& file) {
  struct Way {
    DWORD rights, sharing, disposition;
  };
  const Way way = access == Access::Delete
                      ? Way{DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING}
                  : access == Access::CreateNew ? Way{GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, CREATE_NEW}
                                                : Way{GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING};
  const HANDLE opened = CreateFileW(Wide(path).c_str(), way.rights, way.sharing, nullptr, way.disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return GetLastError();
  file = std::make_unique<Win32File>(opened);
  return 0;
}

std::uint32_t Win32FileCalls::Attributes(const std::string& path, std::uint32_t& attributes) {
  attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

std::uint32_t Win32FileCalls::Replace(const std::string& target, const std::string& replacement,
                                      const std::string& backup) {
  return Result(ReplaceFileW(Wide(target).c_str(), Wide(replacement).c_str(), Wide(backup).c_str(),
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
}

std::uint32_t Win32FileCalls::Move(const std::string& from, const std::string& to) {
  return Result(MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH));
}

std::uint32_t Win32FileCalls::Delete(const std::string& path) {
  return Result(DeleteFileW(Wide(path).c_str()));
}

void Win32FileCalls::Pause(unsigned milliseconds) {
  Sleep(milliseconds);
}

std::uint32_t Win32FileCalls::ProcessId() {
  return GetCurrentProcessId();
}

std::vector<std::string> Win32FileCalls::Find(const std::string& prefix) {
  std::vector<std::string> paths;
  const std::wstring wide = Wide(prefix);
  const std::wstring folder(wide.substr(0, wide.size() - NameOf(wide).size()));
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((wide + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    // The pattern matches short names too: only a long name that begins with the prefix counts.
    const std::string path = Utf8(folder + found.cFileName);
    if (path.compare(0, prefix.size(), prefix) == 0) paths.push_back(path);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return paths;
}

bool Win32FileCalls::MaySwap(std::uint32_t processId) {
  const HANDLE opened = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
  // Refused: another user's, which may be a Kestel of the same folder on a shared machine.
  if (opened == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  const UniqueHandle process(opened);
  if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return false;
  // Ids are soon given again: a live process of another program does not keep a leftover.
  std::wstring image(0x8000, L'\0');
  DWORD size = static_cast<DWORD>(image.size());
  if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) return true;
  const std::wstring own = Wide(ModuleFileName(nullptr));
  const std::wstring_view theirs = NameOf(std::wstring_view(image.data(), size)), ours = NameOf(own);
  return CompareStringOrdinal(theirs.data(), static_cast<int>(theirs.size()), ours.data(),
                              static_cast<int>(ours.size()), TRUE) == CSTR_EQUAL;
}

void TidySettingsLeftovers(const std::string& path) {
  Win32FileCalls calls;
  TidyBeside(calls, path);
}

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
  Win32FileCalls calls;
  return SwapInWhole(calls, path, bytes);
}

}  // namespace kestel
