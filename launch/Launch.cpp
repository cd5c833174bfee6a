#include "launch/Launch.h"

#include <windows.h>

#include "base/Stopwatch.h"
#include "base/UniqueHandle.h"
#include "base/Utf.h"

namespace kestel {

ProgramOutcome LaunchProgram(const std::string& commandLine, bool wait, bool show) {
  ProgramOutcome outcome;
  STARTUPINFOW startup{};
  // The size as compiled: a 64-bit build has a larger record than a 32-bit one.
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show ? SW_SHOW : SW_HIDE;
  PROCESS_INFORMATION created{};

  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring writable = Wide(commandLine);

  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &created)) {
    outcome.error = GetLastError();
    return outcome;
  }
  outcome.started = true;
  const Stopwatch running;
  // Declared in this order so that the process handle is closed first, then the thread's.
  const UniqueHandle thread(created.hThread);
  const UniqueHandle process(created.hProcess);
  if (!wait) return outcome;
  WaitForSingleObject(process.get(), INFINITE);
  outcome.runMs = running.ElapsedMs();
  if (DWORD code = 0; GetExitCodeProcess(process.get(), &code)) outcome.exitCode = code;
  return outcome;
}

bool RunProgram(const std::string& commandLine, bool wait, bool show) {
  return LaunchProgram(commandLine, wait, show).started;
}

}  // namespace kestel
