// An internet library of the test suite's own, loaded in place of the system's wininet.dll. kestel.exe
// takes wininet from the system folder only, so scripts/test.sh puts this file into the test prefix's
// system folder, and WINEDLLOVERRIDES=wininet=n,b (cmake/wine-run.sh.in) picks it over Wine's own
// there. It records, in the format of tests/tools/MprLog.h, to the file named by KESTEL_WININET_LOG
// (unset: nothing is recorded), texts in UTF-8 whichever function family was called:
//   DllMain reason=attach module="PATH"        when a process loads it; PATH tells the copy that was
//                                              loaded from another one, e.g. one beside the program
//   InternetSetOption family=A|W handle=null|set option=N buffer=null|set length=N [connection=S|null]
//     proxy_server=S|null result=0|1
// connection is the connection an INTERNET_OPTION_PER_CONNECTION_OPTION list names (null: the LAN).
// proxy_server is the current user's ProxyServer value at the moment of the call, so that a test can
// tell which set was in force when programs were told. It answers as Wine's own library does:
// INTERNET_OPTION_SETTINGS_CHANGED and INTERNET_OPTION_PER_CONNECTION_OPTION are accepted (the
// second changing nothing), every other option refused; InternetQueryOptionA answers a connection's
// plain flags with "direct" (InternetQueryOptionA and W alike), refuses the settings pages' flags
// (INTERNET_PER_CONN_FLAGS_UI, which Wine does not know) and records nothing.
#include <windows.h>

#include <optional>
#include <string>

#include "MprLog.h"
#include "StandinRecord.h"

namespace {

// wininet.h declares the function as imported, so its two numbers are spelled out here.
constexpr DWORD kSettingsChanged = 39;   // INTERNET_OPTION_SETTINGS_CHANGED
constexpr DWORD kPerConnection = 75;     // INTERNET_OPTION_PER_CONNECTION_OPTION
constexpr DWORD kInvalidOption = 12009;  // ERROR_INTERNET_INVALID_OPTION

// INTERNET_PER_CONN_OPTION_LISTA or W and its options, as far as the stand-in reads them; Char is
// the family's.
struct PerConnectionOption {
  DWORD option;
  DWORD value;
  DWORD padding[2];
};
template <class Char>
struct PerConnectionList {
  DWORD size;
  Char* connection;
  DWORD count;
  DWORD failed;
  PerConnectionOption* options;
};

std::string ProxyServer() {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                   L"ProxyServer", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return "null";
  return kestel::testing::mpr::Quote(kestel::testing::TextOfWide(value));
}

void Record(const std::string& line) {
  kestel::testing::AppendRecord("KESTEL_WININET_LOG", line);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t module[MAX_PATH + 1] = {};
  GetModuleFileNameW(self, module, MAX_PATH);
  Record("DllMain reason=attach module=" + kestel::testing::mpr::Quote(kestel::testing::TextOfWide(module)));
  return TRUE;
}

namespace {

std::optional<std::string> TextOf(const char* text) {
  return kestel::testing::TextOfAnsi(text);
}
std::optional<std::string> TextOf(const wchar_t* text) {
  return kestel::testing::TextOfWide(text);
}

template <class Char>
BOOL SetOption(const char* family, void* handle, DWORD option, LPVOID buffer, DWORD length) {
  const BOOL result = option == kSettingsChanged || option == kPerConnection;
  std::string connection;
  if (option == kPerConnection && buffer != nullptr)
    connection =
        " connection=" + kestel::testing::mpr::Quote(TextOf(static_cast<PerConnectionList<Char>*>(buffer)->connection));
  Record(std::string("InternetSetOption family=") + family + " handle=" + (handle ? "set" : "null") + " option=" +
         std::to_string(option) + " buffer=" + (buffer ? "set" : "null") + " length=" + std::to_string(length) +
         connection + " proxy_server=" + ProxyServer() + " result=" + (result ? "1" : "0"));
  if (!result) SetLastError(kInvalidOption);
  return result;
}

template <class Char>
BOOL QueryOption(DWORD option, LPVOID buffer) {
  if (option != kPerConnection || buffer == nullptr) {
    SetLastError(kInvalidOption);
    return FALSE;
  }
  const auto* list = static_cast<PerConnectionList<Char>*>(buffer);
  for (DWORD i = 0; i < list->count; ++i) {
    if (list->options[i].option == 10) {  // INTERNET_PER_CONN_FLAGS_UI
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    list->options[i].value = 1;  // PROXY_TYPE_DIRECT
  }
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI InternetSetOptionA(void* handle, DWORD option, LPVOID buffer, DWORD length) {
  return SetOption<char>("A", handle, option, buffer, length);
}

extern "C" BOOL WINAPI InternetSetOptionW(void* handle, DWORD option, LPVOID buffer, DWORD length) {
  return SetOption<wchar_t>("W", handle, option, buffer, length);
}

extern "C" BOOL WINAPI InternetQueryOptionA(void*, DWORD option, LPVOID buffer, LPDWORD) {
  return QueryOption<char>(option, buffer);
}

extern "C" BOOL WINAPI InternetQueryOptionW(void*, DWORD option, LPVOID buffer, LPDWORD) {
  return QueryOption<wchar_t>(option, buffer);
}
