// The switch between the away and the local proxy and start page of the current user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Config.h"
#include "proxy/ConnectionOptions.h"
#include "proxy/Registry.h"
#include "settings/SettingsFile.h"

namespace kestel {

// What putting a set into force did beside the registry values, for the run's record.
struct InternetSetOutcome {
  bool applied = false;                        // false: the away set was captured instead
  std::vector<ConnectionOutcome> connections;  // the LAN first, then the phonebook
  std::optional<std::string> refusedScript;    // a script URL that is not http(s): not applied
};

// An automatic configuration script is taken from http:// or https:// only.
bool IsScriptAddress(std::string_view url);
// The type flags a set gives a connection that has current: what the set does not speak of stays.
std::uint32_t ConnectionFlags(const ProxySet& set, std::uint32_t current);

// Applies the stored away set, or captures the current one into kestel.ini when none is stored
// ("awayhomepage" missing or its marker); a capture leaves the registry and the connections unchanged.
InternetSetOutcome SwitchToAwaySettings(SettingsFile& settings, RegistryAccess& registry,
                                        ConnectionOptions& connections, TConfig& config);
// Applies the stored away set, and never captures one: nothing written, and applied false, when none
// is stored.
InternetSetOutcome ApplyStoredAwaySettings(SettingsFile& settings, RegistryAccess& registry,
                                           ConnectionOptions& connections, TConfig& config);
// Applies the local set of kestel.ini. Each step reads its set into config.Sets.
InternetSetOutcome SwitchToLocalSettings(SettingsFile& settings, RegistryAccess& registry,
                                         ConnectionOptions& connections, TConfig& config);
// Puts one set into force: first each connection (the LAN, then with allConnections every phonebook
// entry), where a refusal is reported and passed over; then the registry values.
std::vector<ConnectionOutcome> ApplyInternetSet(const ProxySet& set, bool allConnections, RegistryAccess& registry,
                                                ConnectionOptions& connections);
// Writes the three proxy values and the script URL, then the start page. When the start page's key
// cannot be opened, the start page is left as it is.
void WriteInternetSettings(RegistryAccess& registry, const ProxySet& set);

}  // namespace kestel
