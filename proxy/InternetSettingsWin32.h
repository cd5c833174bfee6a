// The platform's internet library: the per-connection proxy options, the phonebook they are kept
// for, and the notice to programs already running.
#pragma once

#include "base/SystemLibrary.h"
#include "proxy/ConnectionOptions.h"

namespace kestel {

// wininet (and rasapi32, for the phonebook) come from the system folder when a set is first put
// into force or captured, and only then: a run that ends before the away step loads neither.
class Win32InternetOptions final : public ConnectionOptions {
 public:
  // RasEnumEntriesW over every phonebook the user sees.
  ConnectionCall ListEntries(std::vector<std::string>& names) override;
  // The flags as the settings pages show them, or on platforms without that option the plain ones.
  ConnectionCall QueryFlags(const std::string& connection, std::uint32_t& flags) override;
  // INTERNET_OPTION_PER_CONNECTION_OPTION with the flags, the server, the bypass list and the script.
  ConnectionCall Set(const std::string& connection, const ConnectionProxy& proxy) override;

  // INTERNET_OPTION_SETTINGS_CHANGED, then INTERNET_OPTION_REFRESH, as the platform asks of a program
  // that writes the values. Nothing can be done about a refusal (Wine refuses the second), so none is
  // looked at.
  void SettingsChanged();

 private:
  // The named export of the library, loaded on first use; on failure, call says what failed.
  template <class Function>
  Function* Procedure(UniqueModule& module, const char* library, const char* name, ConnectionCall& call);

  UniqueModule wininet_;
  UniqueModule rasapi32_;
};

}  // namespace kestel
