#include "app/InternetSettings.h"

#include "app/Errors.h"

namespace kestel {

namespace {

constexpr const char* kProxyKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kBrowserKey = "\\SOFTWARE\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kProxyEnable = "ProxyEnable";
constexpr const char* kProxyOverride = "ProxyOverRide";
constexpr const char* kProxyServer = "ProxyServer";
constexpr const char* kStartPage = "Start Page";

// The proxy values must never land in whatever key happens to be open: when their key cannot be
// opened, the step fails exactly as it does when no key is open at all.
void OpenProxyKey(RegistryAccess& registry, const char* failure) {
  if (!registry.OpenKey(kProxyKey, false)) Raise(kRegistryError, std::string(failure) + kProxyEnable + "'");
}

void CaptureAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& c) {
  OpenProxyKey(registry, "Failed to get data for '");
  // A profile that never set a proxy has no such value, which the platform reads as proxy off.
  c.AwayProxyEnabled = registry.ReadIntegerIfPresent(kProxyEnable).value_or(0) == 1;
  c.AwayProxyExceptions = registry.ReadString(kProxyOverride);
  c.AwayProxyServer = registry.ReadString(kProxyServer);
  c.AwayHomePage = registry.OpenKey(kBrowserKey, false) ? registry.ReadString(kStartPage) : std::string();

  // "awayhomepage" goes last: its presence is what makes later runs apply instead of capture.
  settings.WriteSettingText(keys::kAwayProxyEnabled, c.AwayProxyEnabled ? "1" : "0");
  settings.WriteSettingText(keys::kAwayProxyExceptions, c.AwayProxyExceptions);
  settings.WriteSettingText(keys::kAwayProxyServer, c.AwayProxyServer);
  settings.WriteSettingText(keys::kAwayHomePage, c.AwayHomePage);
}

void ApplyAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& c) {
  c.AwayProxyEnabled = settings.ReadSettingFlag(keys::kAwayProxyEnabled);
  c.AwayProxyServer = settings.ReadSettingText(keys::kAwayProxyServer);
  c.AwayProxyExceptions = settings.ReadSettingText(keys::kAwayProxyExceptions);
  c.AwayHomePage = settings.ReadSettingText(keys::kAwayHomePage);
  WriteInternetSettings(registry, c.AwayProxyEnabled, c.AwayProxyExceptions, c.AwayProxyServer, c.AwayHomePage);
}

}  // namespace

bool SwitchToAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config) {
  if (ApplyStoredAwaySettings(settings, registry, config)) return true;
  CaptureAwaySettings(settings, registry, config);
  return false;
}

bool ApplyStoredAwaySettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config) {
  config.AwayHomePage = settings.ReadSettingMarked(keys::kAwayHomePage);
  if (config.AwayHomePage == keys::kAwayHomePage.marker) return false;
  ApplyAwaySettings(settings, registry, config);
  return true;
}

void SwitchToLocalSettings(SettingsFile& settings, RegistryAccess& registry, TConfig& config) {
  config.LocalProxyEnabled = settings.ReadSettingFlag(keys::kLocalProxyEnabled);
  config.LocalProxyServer = settings.ReadSettingText(keys::kLocalProxyServer);
  config.LocalProxyExceptions = settings.ReadSettingText(keys::kLocalProxyExceptions);
  config.LocalHomePage = settings.ReadSettingText(keys::kLocalHomePage);
  registry.SelectRoot(RegistryRoot::CurrentUser);
  WriteInternetSettings(registry, config.LocalProxyEnabled, config.LocalProxyExceptions, config.LocalProxyServer,
                        config.LocalHomePage);
}

void WriteInternetSettings(RegistryAccess& registry, bool enabled, const std::string& exceptions,
                           const std::string& server, const std::string& homePage) {
  OpenProxyKey(registry, "Failed to set data for '");
  registry.WriteInteger(kProxyEnable, enabled ? 1 : 0);
  registry.WriteString(kProxyOverride, exceptions);
  registry.WriteString(kProxyServer, server);
  if (registry.OpenKey(kBrowserKey, false)) registry.WriteString(kStartPage, homePage);
}

}  // namespace kestel
