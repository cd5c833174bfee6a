// A network provider of the test suite's own, loaded in place of the system's mpr.dll (put beside the
// program and started with WINEDLLOVERRIDES=mpr=n,b). It makes no connection: it records each call
// with all its arguments and answers from rules the test gives it.
//
//   KESTEL_MPR_LOG    file to append one line per call to; unset: nothing is recorded.
//   KESTEL_MPR_RULES  the results to give; unset: every call succeeds.
//   KESTEL_MPR_HOLD   the name of an event: each cancellation waits until it is set (at most a
//                     minute), so that a test can act while the run stands still in a known place.
//   KESTEL_MPR_ADD_MS milliseconds each add takes before it answers, as a slow server's would.
// Both formats are described in tests/tools/MprLog.h. The lines:
//   WNetAddConnection3A owner=null|window|invalid [owner_class="..." owner_title="..." owner_own=0|1]
//     scope=N type=N display=N usage=N local=S remote=S comment=S provider=S password=S user=S
//     flags=N result=N
//   WNetCancelConnection2A name=S flags=N force=N result=N
// owner_own is 1 when the owner window belongs to the calling process. A nonzero result is also
// left as the thread's last error, as the system's provider router does.
#include <windows.h>
#include <winnetwk.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "MprLog.h"
#include "StandinRecord.h"

namespace {

namespace mpr = kestel::testing::mpr;

void Record(const std::string& line) {
  kestel::testing::AppendRecord("KESTEL_MPR_LOG", line);
}

DWORD Answer(mpr::Operation operation, std::initializer_list<const char*> names) {
  std::vector<std::string_view> given;
  for (const char* name : names)
    if (name != nullptr) given.emplace_back(name);
  const DWORD result = mpr::Answer(mpr::ParseRules(kestel::testing::EnvironmentValue("KESTEL_MPR_RULES").value_or("")),
                                   operation, given);
  if (result != NO_ERROR) SetLastError(result);
  return result;
}

std::string Owner(HWND owner) {
  if (owner == nullptr) return "owner=null";
  if (!IsWindow(owner)) return "owner=invalid";
  char className[256] = "";
  char title[256] = "";
  GetClassNameA(owner, className, sizeof className);
  GetWindowTextA(owner, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  return "owner=window owner_class=" + mpr::Quote(className) + " owner_title=" + mpr::Quote(title) +
         " owner_own=" + (pid == GetCurrentProcessId() ? "1" : "0");
}

std::string Number(DWORD value) {
  return std::to_string(value);
}

}  // namespace

extern "C" DWORD APIENTRY WNetAddConnection3A(HWND owner, LPNETRESOURCEA resource, LPCSTR password, LPCSTR userName,
                                              DWORD flags) {
  if (resource == nullptr) {
    Record(std::string(mpr::kAddConnection) + " " + Owner(owner) + " resource=null password=" + mpr::Quote(password) +
           " user=" + mpr::Quote(userName) + " flags=" + Number(flags) + " result=" + Number(ERROR_INVALID_PARAMETER));
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  if (const auto slow = kestel::testing::EnvironmentValue("KESTEL_MPR_ADD_MS"))
    Sleep(static_cast<DWORD>(std::strtoul(slow->c_str(), nullptr, 10)));
  const DWORD result = Answer(mpr::Operation::Add, {resource->lpRemoteName, resource->lpLocalName, password});
  Record(std::string(mpr::kAddConnection) + " " + Owner(owner) + " scope=" + Number(resource->dwScope) +
         " type=" + Number(resource->dwType) + " display=" + Number(resource->dwDisplayType) +
         " usage=" + Number(resource->dwUsage) + " local=" + mpr::Quote(resource->lpLocalName) +
         " remote=" + mpr::Quote(resource->lpRemoteName) + " comment=" + mpr::Quote(resource->lpComment) +
         " provider=" + mpr::Quote(resource->lpProvider) + " password=" + mpr::Quote(password) +
         " user=" + mpr::Quote(userName) + " flags=" + Number(flags) + " result=" + Number(result));
  return result;
}

extern "C" DWORD APIENTRY WNetCancelConnection2A(LPCSTR name, DWORD flags, BOOL force) {
  if (const auto hold = kestel::testing::EnvironmentValue("KESTEL_MPR_HOLD")) {
    if (HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, hold->c_str())) {
      WaitForSingleObject(event, 60000);
      CloseHandle(event);
    }
  }
  const DWORD result = Answer(mpr::Operation::Cancel, {name});
  Record(std::string(mpr::kCancelConnection) + " name=" + mpr::Quote(name) + " flags=" + Number(flags) +
         " force=" + Number(static_cast<DWORD>(force)) + " result=" + Number(result));
  return result;
}
