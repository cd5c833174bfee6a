// recordargs.exe: a windowless test program that records how it was started.
//
//   recordargs.exe LOGFILE [--sleep MS] [--exit CODE] [any further args]
//
// Each start appends exactly one line to LOGFILE (created when missing), written in one piece:
//
//   PID <TAB> USESHOWWINDOW <TAB> SHOWWINDOW <TAB> COMMANDLINE <CR><LF>
//
//   PID            the process id, decimal
//   USESHOWWINDOW  1 when STARTF_USESHOWWINDOW was set in the startup record, else 0
//   SHOWWINDOW     the startup record's wShowWindow, decimal (SW_HIDE 0, SW_SHOW 5 ...)
//   COMMANDLINE    GetCommandLineW() in UTF-8, except that CR and LF become blanks so the line
//                  stays one line; it is last so that tabs inside it need no escaping. Every letter
//                  the program was started with shows, whatever the ANSI code page.
//
// tests/tools/RecordLog.h reads this format. --sleep waits before recording, so the line is
// written only when the program is about to end; --exit sets the exit code (default 0).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "WideText.h"

namespace {

struct Options {
  const char* logFile = nullptr;
  DWORD sleepMs = 0;
  UINT exitCode = 0;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  if (argc < 2) return options;
  options.logFile = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    if (name == "--sleep")
      options.sleepMs = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    else if (name == "--exit")
      options.exitCode = static_cast<UINT>(std::strtol(argv[i + 1], nullptr, 10));
    else
      break;
  }
  return options;
}

std::string RecordLine() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  std::string commandLine = kestel::testing::Utf8OfWide(GetCommandLineW());
  for (char& c : commandLine)
    if (c == '\r' || c == '\n') c = ' ';
  const bool usesShowWindow = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
  return std::to_string(GetCurrentProcessId()) + '\t' + (usesShowWindow ? "1" : "0") + '\t' +
         std::to_string(startup.wShowWindow) + '\t' + commandLine + "\r\n";
}

// A reading test may hold the file for a moment, so opening is retried for a bounded time.
bool AppendLine(const char* path, const std::string& line) {
  const ULONGLONG deadline = GetTickCount64() + 10000;
  for (;;) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      return ok && written == line.size();
    }
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED) ||
        GetTickCount64() > deadline)
      return false;
    Sleep(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (options.logFile == nullptr) return 2;
  if (options.sleepMs != 0) Sleep(options.sleepMs);
  if (!AppendLine(options.logFile, RecordLine())) return 3;
  return static_cast<int>(options.exitCode);
}
