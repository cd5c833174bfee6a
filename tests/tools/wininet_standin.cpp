// An internet library of the test suite's own, loaded in place of the system's wininet.dll. kestel.exe
// takes wininet from the system folder only, so scripts/test.sh puts this file into the test prefix's
// system folder, and WINEDLLOVERRIDES=wininet=n,b (cmake/wine-run.sh.in) picks it over Wine's own
// there. It records, in the format of tests/tools/MprLog.h, to the file named by KESTEL_WININET_LOG
// (unset: nothing is recorded):
//   DllMain reason=attach module="PATH"        when a process loads it; PATH tells the copy that was
//                                              loaded from another one, e.g. one beside the program
//   InternetSetOptionA handle=null|set option=N buffer=null|set length=N proxy_server=S|null result=0|1
// proxy_server is the current user's ProxyServer value at the moment of the call, so that a test can
// tell which set was in force when programs were told. It answers as Wine's own library does:
// INTERNET_OPTION_SETTINGS_CHANGED and INTERNET_OPTION_PER_CONNECTION_OPTION are accepted (the
// second changing nothing), every other option refused; InternetQueryOptionA answers a connection's
// plain flags with "direct", refuses the settings pages' flags (INTERNET_PER_CONN_FLAGS_UI, which
// Wine does not know) and records nothing.
#include <windows.h>

#include <string>

#include "MprLog.h"
#include "StandinRecord.h"

namespace {

// wininet.h declares the function as imported, so its two numbers are spelled out here.
constexpr DWORD kSettingsChanged = 39;   // INTERNET_OPTION_SETTINGS_CHANGED
constexpr DWORD kPerConnection = 75;     // INTERNET_OPTION_PER_CONNECTION_OPTION
constexpr DWORD kInvalidOption = 12009;  // ERROR_INTERNET_INVALID_OPTION

// INTERNET_PER_CONN_OPTION_LISTA and its options, as far as a query of the flags reads them.
struct PerConnectionOption {
  DWORD option;
  DWORD value;
  DWORD padding[2];
};
struct PerConnectionList {
  DWORD size;
  char* connection;
  DWORD count;
  DWORD failed;
  PerConnectionOption* options;
};

std::string ProxyServer() {
  char value[1024];
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "ProxyServer",
                   RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return "null";
  return kestel::testing::mpr::Quote(value);
}

void Record(const std::string& line) {
  kestel::testing::AppendRecord("KESTEL_WININET_LOG", line);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char module[MAX_PATH + 1] = {};
  GetModuleFileNameA(self, module, MAX_PATH);
  Record("DllMain reason=attach module=" + kestel::testing::mpr::Quote(module));
  return TRUE;
}

extern "C" BOOL WINAPI InternetSetOptionA(void* handle, DWORD option, LPVOID buffer, DWORD length) {
  const BOOL result = option == kSettingsChanged || option == kPerConnection;
  Record(std::string("InternetSetOptionA handle=") + (handle ? "set" : "null") + " option=" + std::to_string(option) +
         " buffer=" + (buffer ? "set" : "null") + " length=" + std::to_string(length) +
         " proxy_server=" + ProxyServer() + " result=" + (result ? "1" : "0"));
  if (!result) SetLastError(kInvalidOption);
  return result;
}

extern "C" BOOL WINAPI InternetQueryOptionA(void*, DWORD option, LPVOID buffer, LPDWORD) {
  if (option != kPerConnection || buffer == nullptr) {
    SetLastError(kInvalidOption);
    return FALSE;
  }
  const auto* list = static_cast<PerConnectionList*>(buffer);
  for (DWORD i = 0; i < list->count; ++i) {
    if (list->options[i].option == 10) {  // INTERNET_PER_CONN_FLAGS_UI
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    list->options[i].value = 1;  // PROXY_TYPE_DIRECT
  }
  return TRUE;
}
