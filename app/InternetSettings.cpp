#include "app/InternetSettings.h"

namespace kestel {

// Stand-in until the switch lands: changes nothing.
void SwitchToAwaySettings(SettingsFile&, RegistryAccess&, TConfig&) {}
void SwitchToLocalSettings(SettingsFile&, RegistryAccess&, TConfig&) {}
void WriteInternetSettings(RegistryAccess&, bool, const std::string&, const std::string&, const std::string&) {}

}  // namespace kestel
