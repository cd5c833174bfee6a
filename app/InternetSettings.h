// The switch between the away and the local proxy and start page of the current user.
#pragma once

#include <string>

#include "app/Config.h"
#include "app/Registry.h"
#include "app/SettingsFile.h"

namespace kestel {

// Applies the stored away set, or captures the current one into kestel.ini when none is stored
// ("awayhomepage" missing or its marker); a capture leaves the registry unchanged.
// True when the stored set was written to the registry.
bool SwitchToAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config);
// Applies the stored away set, and never captures one: false, with nothing written, when none is stored.
bool ApplyStoredAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config);
// Applies the local set of kestel.ini.
void SwitchToLocalSettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config);
// Writes the three proxy values, then the start page. When the start page's key cannot be opened,
// the start page is left as it is.
void WriteInternetSettings(RegistryAccess& registry, bool enabled, const std::string& exceptions,
                           const std::string& server, const std::string& homePage);

}  // namespace kestel
