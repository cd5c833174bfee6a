#include "record/RunRecordWin32.h"

#include "base/ErrorTextWin32.h"
#include "base/ModuleFileName.h"
#include "base/Utf.h"

namespace kestel {

namespace {

LocalTime Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

StartDetails LookUpStartDetails() {
  StartDetails details;
  details.version = KESTEL_VERSION;
  details.executable = ModuleFileName(nullptr);
  // GetUserNameW counts the closing zero, GetComputerNameW does not. Both names are far shorter than a path.
  wchar_t text[MAX_PATH + 1] = {};
  DWORD length = MAX_PATH + 1;
  if (GetUserNameW(text, &length) && length > 0) details.user = Utf8(std::wstring_view(text, length - 1));
  length = MAX_PATH + 1;
  if (GetComputerNameW(text, &length)) details.computer = Utf8(std::wstring_view(text, length));
  return details;
}

// Whether the log is UTF-8 throughout, as this Kestel writes it: one written by an earlier Kestel in
// the ANSI code page would end up in two encodings at once.
bool HoldsUtf8Only(const std::wstring& path) {
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return true;
  const UniqueHandle file(opened);
  std::string content;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
  return IsValidUtf8(content);
}

// A log over the size, or one that is not UTF-8 throughout, becomes "<name>.old", replacing an older one.
void RollIfOver(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
  const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size > kRecordRollBytes || !HoldsUtf8Only(path))
    MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Every folder on the way to the file, from the top down; those that exist refuse, which is fine.
void CreateFolders(const std::wstring& path) {
  for (std::size_t end = path.find_first_of(L"\\/", 1); end != std::wstring::npos;
       end = path.find_first_of(L"\\/", end + 1))
    CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
}

WORD EventType(Severity severity) {
  switch (severity) {
    case Severity::Warning:
      return EVENTLOG_WARNING_TYPE;
    case Severity::Error:
      return EVENTLOG_ERROR_TYPE;
    case Severity::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

void Win32RunRecord::Open(const RecordSettings& settings) {
  if (!holding_) return;
  holding_ = false;
  if (!settings.path.empty()) OpenFile(settings.path);
  if (settings.eventLog) source_.reset(RegisterEventSourceW(nullptr, Wide(kEventSource).c_str()));
  if (On()) {
    for (const auto& [time, event] : held_)
      Write(time, event.kind == EventKind::Start ? StartEvent(LookUpStartDetails()) : event);
  }
  held_.clear();
}

void Win32RunRecord::OpenFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  RollIfOver(wide);
  // Appending only: every write lands at the end of the file, also with a second run writing it.
  const auto open = [&] {
    return CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE file = open();
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
    CreateFolders(wide);
    file = open();
  }
  if (file != INVALID_HANDLE_VALUE) file_.reset(file);
}

void Win32RunRecord::Report(const RunEvent& event) {
  if (holding_)
    held_.emplace_back(Now(), event);
  else
    Write(Now(), event);
}

// One write per line, unbuffered: a run that is killed leaves every line written so far.
void Win32RunRecord::Write(const LocalTime& time, const RunEvent& event) {
  if (file_) {
    const std::string line = FormatRecordLine(time, GetCurrentProcessId(), event) + "\r\n";
    DWORD written = 0;
    WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  if (source_) {
    const std::wstring text = Wide(EventLine(event));
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(source_.get(), EventType(event.severity), 0, static_cast<DWORD>(event.kind), nullptr, 1, 0, strings,
                 nullptr);
  }
}

std::string Win32RunRecord::SystemText(std::uint32_t code) const {
  return code == 0 ? std::string() : SystemErrorText(code);
}

std::uint64_t Win32RunRecord::ElapsedMs() const {
  FILETIME created;
  FILETIME unused;
  FILETIME now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused)) return 0;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return ticks(now) > ticks(created) ? (ticks(now) - ticks(created)) / 10000 : 0;
}

}  // namespace kestel
