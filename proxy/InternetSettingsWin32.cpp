#include "proxy/InternetSettingsWin32.h"

#include <ras.h>
#include <raserror.h>
#include <wininet.h>

#include <vector>

#include "base/Utf.h"

namespace kestel {

namespace {

ConnectionCall Refused(const char* call) {
  return {call, GetLastError()};
}

// The connection's name as the option list takes it: none for the LAN.
wchar_t* ConnectionName(std::wstring& connection) {
  return connection.empty() ? nullptr : connection.data();
}

}  // namespace

template <class Function>
Function* Win32InternetOptions::Procedure(UniqueModule& module, const char* library, const char* name,
                                          ConnectionCall& call) {
  if (!module) module = LoadSystemLibrary(library);
  if (!module) {
    call = {std::string("loading ") + library, GetLastError()};
    return nullptr;
  }
  Function* procedure = ProcedureOf<Function>(module.get(), name);
  if (procedure == nullptr) call = Refused(name);
  return procedure;
}

ConnectionCall Win32InternetOptions::ListEntries(std::vector<std::string>& names) {
  names.clear();
  ConnectionCall call;
  const auto enumEntries = Procedure<decltype(RasEnumEntriesW)>(rasapi32_, "rasapi32.dll", "RasEnumEntriesW", call);
  if (enumEntries == nullptr) return call;
  // The size asked for is known after a first try; an entry added in between asks once more.
  std::vector<RASENTRYNAMEW> entries(1);
  DWORD result = ERROR_BUFFER_TOO_SMALL;
  DWORD count = 0;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_TOO_SMALL; ++attempt) {
    for (RASENTRYNAMEW& entry : entries) entry.dwSize = sizeof entry;
    DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEW));
    result = enumEntries(nullptr, nullptr, entries.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) entries.resize(bytes / sizeof(RASENTRYNAMEW) + 1);
  }
  if (result != ERROR_SUCCESS) return {"RasEnumEntriesW", result};
  for (DWORD i = 0; i < count && i < entries.size(); ++i) names.push_back(Utf8(entries[i].szEntryName));
  return {};
}

ConnectionCall Win32InternetOptions::QueryFlags(const std::string& connection, std::uint32_t& flags) {
  ConnectionCall call;
  const auto query = Procedure<decltype(InternetQueryOptionW)>(wininet_, "wininet.dll", "InternetQueryOptionW", call);
  if (query == nullptr) return call;
  std::wstring name = Wide(connection);
  // Since the browser's version 8 the plain flags may lag behind what the user chose; the option
  // the settings pages use has it. Wine knows only the plain one.
  for (const DWORD option :
       {static_cast<DWORD>(INTERNET_PER_CONN_FLAGS_UI), static_cast<DWORD>(INTERNET_PER_CONN_FLAGS)}) {
    INTERNET_PER_CONN_OPTIONW value{};
    value.dwOption = option;
    INTERNET_PER_CONN_OPTION_LISTW list{sizeof list, ConnectionName(name), 1, 0, &value};
    DWORD size = sizeof list;
    if (query(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
      flags = value.Value.dwValue;
      return {};
    }
    call = Refused("InternetQueryOptionW");
  }
  return call;
}

ConnectionCall Win32InternetOptions::Set(const std::string& connection, const ConnectionProxy& proxy) {
  ConnectionCall call;
  const auto set = Procedure<decltype(InternetSetOptionW)>(wininet_, "wininet.dll", "InternetSetOptionW", call);
  if (set == nullptr) return call;
  std::wstring name = Wide(connection), server = Wide(proxy.server), bypass = Wide(proxy.bypass),
               script = Wide(proxy.scriptUrl.value_or(std::string()));
  INTERNET_PER_CONN_OPTIONW options[4]{};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = proxy.flags;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = server.data();
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = bypass.data();
  options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
  options[3].Value.pszValue = script.data();
  INTERNET_PER_CONN_OPTION_LISTW list{sizeof list, ConnectionName(name), proxy.scriptUrl ? 4u : 3u, 0, options};
  if (!set(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list)) return Refused("InternetSetOptionW");
  return {};
}

void Win32InternetOptions::SettingsChanged() {
  ConnectionCall call;
  const auto set = Procedure<decltype(InternetSetOptionW)>(wininet_, "wininet.dll", "InternetSetOptionW", call);
  if (set == nullptr) return;
  set(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
  set(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
}

}  // namespace kestel
