// A network provider of the test suite's own, loaded in place of the system's mpr.dll (put beside the
// program and started with WINEDLLOVERRIDES=mpr=n,b). It makes no connection: it records each call
// with all its arguments and answers from rules the test gives it.
//
//   KESTEL_MPR_LOG    file to append one line per call to; unset: nothing is recorded.
//   KESTEL_MPR_RULES  the results to give; unset: every call succeeds.
//   KESTEL_MPR_HOLD   the name of an event: each cancellation waits until it is set (at most a
//                     minute), so that a test can act while the run stands still in a known place.
//   KESTEL_MPR_ADD_MS milliseconds each add takes before it answers, as a slow server's would.
// Both formats are described in tests/tools/MprLog.h. The A and the W function of each pair record
// the same line, texts in UTF-8, the function named without its A or W:
//   WNetAddConnection3 family=A|W owner=null|window|invalid [owner_class="..." owner_title="..."
//     owner_own=0|1] scope=N type=N display=N usage=N local=S remote=S comment=S provider=S
//     password=S user=S flags=N result=N
//   WNetCancelConnection2 family=A|W name=S flags=N force=N result=N
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

using Text = std::optional<std::string>;

DWORD Answer(mpr::Operation operation, std::initializer_list<const Text*> names) {
  std::vector<std::string_view> given;
  for (const Text* name : names)
    if (*name) given.emplace_back(**name);
  const DWORD result = mpr::Answer(mpr::ParseRules(kestel::testing::EnvironmentValue("KESTEL_MPR_RULES").value_or("")),
                                   operation, given);
  if (result != NO_ERROR) SetLastError(result);
  return result;
}

std::string Owner(HWND owner) {
  if (owner == nullptr) return "owner=null";
  if (!IsWindow(owner)) return "owner=invalid";
  wchar_t className[256] = L"";
  wchar_t title[256] = L"";
  GetClassNameW(owner, className, 256);
  GetWindowTextW(owner, title, 256);
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  return "owner=window owner_class=" + mpr::Quote(kestel::testing::TextOfWide(className)) +
         " owner_title=" + mpr::Quote(kestel::testing::TextOfWide(title)) +
         " owner_own=" + (pid == GetCurrentProcessId() ? "1" : "0");
}

std::string Number(DWORD value) {
  return std::to_string(value);
}

// What a connection's record holds, whichever family's record it came in.
struct Resource {
  DWORD scope, type, display, usage;
  Text local, remote, comment, provider;
};

DWORD AddConnection(const char* family, HWND owner, const Resource* resource, const Text& password,
                    const Text& userName, DWORD flags) {
  const std::string call = std::string(mpr::kAddConnection) + " family=" + family + " " + Owner(owner);
  if (resource == nullptr) {
    Record(call + " resource=null password=" + mpr::Quote(password) + " user=" + mpr::Quote(userName) +
           " flags=" + Number(flags) + " result=" + Number(ERROR_INVALID_PARAMETER));
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  if (const auto slow = kestel::testing::EnvironmentValue("KESTEL_MPR_ADD_MS"))
    Sleep(static_cast<DWORD>(std::strtoul(slow->c_str(), nullptr, 10)));
  const DWORD result = Answer(mpr::Operation::Add, {&resource->remote, &resource->local, &password});
  Record(call + " scope=" + Number(resource->scope) + " type=" + Number(resource->type) + " display=" +
         Number(resource->display) + " usage=" + Number(resource->usage) + " local=" + mpr::Quote(resource->local) +
         " remote=" + mpr::Quote(resource->remote) + " comment=" + mpr::Quote(resource->comment) +
         " provider=" + mpr::Quote(resource->provider) + " password=" + mpr::Quote(password) +
         " user=" + mpr::Quote(userName) + " flags=" + Number(flags) + " result=" + Number(result));
  return result;
}

DWORD CancelConnection(const char* family, const Text& name, DWORD flags, BOOL force) {
  if (const auto hold = kestel::testing::EnvironmentValue("KESTEL_MPR_HOLD")) {
    if (HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, kestel::testing::WideOfUtf8(*hold).c_str())) {
      WaitForSingleObject(event, 60000);
      CloseHandle(event);
    }
  }
  const DWORD result = Answer(mpr::Operation::Cancel, {&name});
  Record(std::string(mpr::kCancelConnection) + " family=" + family + " name=" + mpr::Quote(name) +
         " flags=" + Number(flags) + " force=" + Number(static_cast<DWORD>(force)) + " result=" + Number(result));
  return result;
}

template <class NetResource, class Convert>
std::optional<Resource> ResourceOf(const NetResource* r, Convert text) {
  if (r == nullptr) return std::nullopt;
  return Resource{
      r->dwScope,         r->dwType,          r->dwDisplayType, r->dwUsage, text(r->lpLocalName), text(r->lpRemoteName),
      text(r->lpComment), text(r->lpProvider)};
}

}  // namespace

extern "C" DWORD APIENTRY WNetAddConnection3A(HWND owner, LPNETRESOURCEA resource, LPCSTR password, LPCSTR userName,
                                              DWORD flags) {
  using kestel::testing::TextOfAnsi;
  const auto given = ResourceOf(resource, TextOfAnsi);
  return AddConnection("A", owner, given ? &*given : nullptr, TextOfAnsi(password), TextOfAnsi(userName), flags);
}

extern "C" DWORD APIENTRY WNetAddConnection3W(HWND owner, LPNETRESOURCEW resource, LPCWSTR password, LPCWSTR userName,
                                              DWORD flags) {
  using kestel::testing::TextOfWide;
  const auto given = ResourceOf(resource, TextOfWide);
  return AddConnection("W", owner, given ? &*given : nullptr, TextOfWide(password), TextOfWide(userName), flags);
}

extern "C" DWORD APIENTRY WNetCancelConnection2A(LPCSTR name, DWORD flags, BOOL force) {
  return CancelConnection("A", kestel::testing::TextOfAnsi(name), flags, force);
}

extern "C" DWORD APIENTRY WNetCancelConnection2W(LPCWSTR name, DWORD flags, BOOL force) {
  return CancelConnection("W", kestel::testing::TextOfWide(name), flags, force);
}
