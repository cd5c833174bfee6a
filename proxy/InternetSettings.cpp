#include "proxy/InternetSettings.h"

#include "base/Errors.h"
#include "base/AsciiText.h"

namespace kestel {

namespace {

constexpr const char* kProxyKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kBrowserKey = "\\SOFTWARE\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kProxyEnable = "ProxyEnable";
constexpr const char* kProxyOverride = "ProxyOverRide";
constexpr const char* kProxyServer = "ProxyServer";
constexpr const char* kAutoConfigUrl = "AutoConfigURL";
constexpr const char* kStartPage = "Start Page";

// The proxy values must never land in whatever key happens to be open: when their key cannot be
// opened, the step fails exactly as it does when no key is open at all.
void OpenProxyKey(RegistryAccess& registry, const char* failure) {
  if (!registry.OpenKey(kProxyKey, false)) Raise(kRegistryError, std::string(failure) + kProxyEnable + "'");
}

// The set as the file gives it; a script URL that is not http(s) is left out and reported.
ProxySet SetOf(bool enabled, const std::string& exceptions, const std::string& server, const std::string& homePage,
               const std::optional<std::string>& script, std::optional<bool> autoDetect, InternetSetOutcome& outcome) {
  ProxySet set{enabled, exceptions, server, homePage, script, autoDetect};
  if (script && !script->empty() && !IsScriptAddress(*script)) {
    outcome.refusedScript = *script;
    set.script.reset();
  }
  return set;
}

// A connection whose flags cannot be read is not set: what the set does not speak of would be lost.
ConnectionOutcome SetConnection(const ProxySet& set, const std::string& entry, ConnectionOptions& connections) {
  std::uint32_t current = 0;
  ConnectionCall call = connections.QueryFlags(entry, current);
  if (!call.Failed()) {
    const bool namesScript = set.script && !set.script->empty();
    call = connections.Set(
        entry, {ConnectionFlags(set, current), set.server, set.exceptions, namesScript ? set.script : std::nullopt});
  }
  return {entry.empty() ? ConnectionOutcome::Of::Lan : ConnectionOutcome::Of::Entry, entry, call};
}

std::vector<ConnectionOutcome> SetConnections(const ProxySet& set, bool allConnections,
                                              ConnectionOptions& connections) {
  std::vector<ConnectionOutcome> outcomes{SetConnection(set, {}, connections)};
  if (!allConnections) return outcomes;
  std::vector<std::string> entries;
  const ConnectionCall listed = connections.ListEntries(entries);
  if (listed.Failed()) outcomes.push_back({ConnectionOutcome::Of::Phonebook, {}, listed});
  for (const std::string& entry : entries) outcomes.push_back(SetConnection(set, entry, connections));
  return outcomes;
}

void CaptureAwaySettings(SettingsFile& settings, RegistryAccess& registry, ConnectionOptions& connections, TConfig& c,
                         InternetSetOutcome& outcome) {
  OpenProxyKey(registry, "Failed to get data for '");
  // A profile that never set a proxy has no such value, which the platform reads as proxy off.
  c.AwayProxyEnabled = registry.ReadIntegerIfPresent(kProxyEnable).value_or(0) == 1;
  c.AwayProxyExceptions = registry.ReadString(kProxyOverride);
  c.AwayProxyServer = registry.ReadString(kProxyServer);
  const std::string script = registry.ReadString(kAutoConfigUrl);
  c.AwayHomePage = registry.OpenKey(kBrowserKey, false) ? registry.ReadString(kStartPage) : std::string();
  std::uint32_t flags = 0;
  const ConnectionCall queried = connections.QueryFlags({}, flags);
  if (queried.Failed()) outcome.connections.push_back({ConnectionOutcome::Of::Lan, {}, queried});

  // Only what the user has on is stored, unless the local set speaks of it: then the away set must
  // put back "off" too.
  c.AwayAutoConfigUrl.reset();
  c.AwayAutoDetect.reset();
  if (!script.empty() || settings.ReadSettingIfPresent(keys::kLocalAutoConfigUrl)) c.AwayAutoConfigUrl = script;
  const bool detects = (flags & kProxyTypeAutoDetect) != 0;
  if (!queried.Failed() && (detects || settings.ReadSettingIfPresent(keys::kLocalAutoDetect)))
    c.AwayAutoDetect = detects;

  // "awayhomepage" goes last: its presence is what makes later runs apply instead of capture.
  settings.WriteSettingText(keys::kAwayProxyEnabled, c.AwayProxyEnabled ? "1" : "0");
  settings.WriteSettingText(keys::kAwayProxyExceptions, c.AwayProxyExceptions);
  settings.WriteSettingText(keys::kAwayProxyServer, c.AwayProxyServer);
  if (c.AwayAutoConfigUrl) settings.WriteSettingText(keys::kAwayAutoConfigUrl, *c.AwayAutoConfigUrl);
  if (c.AwayAutoDetect) settings.WriteSettingText(keys::kAwayAutoDetect, *c.AwayAutoDetect ? "1" : "0");
  settings.WriteSettingText(keys::kAwayHomePage, c.AwayHomePage);
}

void ApplyAwaySettings(SettingsFile& settings, RegistryAccess& registry, ConnectionOptions& connections, TConfig& c,
                       InternetSetOutcome& outcome) {
  c.AwayProxyEnabled = settings.ReadSettingFlag(keys::kAwayProxyEnabled);
  c.AwayProxyServer = settings.ReadSettingText(keys::kAwayProxyServer);
  c.AwayProxyExceptions = settings.ReadSettingText(keys::kAwayProxyExceptions);
  c.AwayHomePage = settings.ReadSettingText(keys::kAwayHomePage);
  c.AwayAutoConfigUrl = settings.ReadSettingIfPresent(keys::kAwayAutoConfigUrl);
  c.AwayAutoDetect = settings.ReadSettingFlagIfPresent(keys::kAwayAutoDetect);
  c.AllConnections = settings.ReadSettingFlag(keys::kAllConnections);
  const ProxySet set = SetOf(c.AwayProxyEnabled, c.AwayProxyExceptions, c.AwayProxyServer, c.AwayHomePage,
                             c.AwayAutoConfigUrl, c.AwayAutoDetect, outcome);
  outcome.connections = ApplyInternetSet(set, c.AllConnections, registry, connections);
}

}  // namespace

bool IsScriptAddress(std::string_view url) {
  for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
    if (url.size() > scheme.size() && AsciiNameEquals(url.substr(0, scheme.size()), scheme)) return true;
  return false;
}

std::uint32_t ConnectionFlags(const ProxySet& set, std::uint32_t current) {
  std::uint32_t flags = kProxyTypeDirect;
  if (set.enabled) flags |= kProxyTypeProxy;
  if (set.script ? !set.script->empty() : (current & kProxyTypeScript) != 0) flags |= kProxyTypeScript;
  if (set.autoDetect ? *set.autoDetect : (current & kProxyTypeAutoDetect) != 0) flags |= kProxyTypeAutoDetect;
  return flags;
}

InternetSetOutcome SwitchToAwaySettings(SettingsFile& settings, RegistryAccess& registry,
                                        ConnectionOptions& connections, TConfig& config) {
  InternetSetOutcome outcome = ApplyStoredAwaySettings(settings, registry, connections, config);
  if (!outcome.applied) CaptureAwaySettings(settings, registry, connections, config, outcome);
  return outcome;
}

InternetSetOutcome ApplyStoredAwaySettings(SettingsFile& settings, RegistryAccess& registry,
                                           ConnectionOptions& connections, TConfig& config) {
  InternetSetOutcome outcome;
  config.AwayHomePage = settings.ReadSettingMarked(keys::kAwayHomePage);
  if (config.AwayHomePage == keys::kAwayHomePage.marker) return outcome;
  ApplyAwaySettings(settings, registry, connections, config, outcome);
  outcome.applied = true;
  return outcome;
}

InternetSetOutcome SwitchToLocalSettings(SettingsFile& settings, RegistryAccess& registry,
                                         ConnectionOptions& connections, TConfig& config) {
  InternetSetOutcome outcome;
  config.LocalProxyEnabled = settings.ReadSettingFlag(keys::kLocalProxyEnabled);
  config.LocalProxyServer = settings.ReadSettingText(keys::kLocalProxyServer);
  config.LocalProxyExceptions = settings.ReadSettingText(keys::kLocalProxyExceptions);
  config.LocalHomePage = settings.ReadSettingText(keys::kLocalHomePage);
  config.LocalAutoConfigUrl = settings.ReadSettingIfPresent(keys::kLocalAutoConfigUrl);
  config.LocalAutoDetect = settings.ReadSettingFlagIfPresent(keys::kLocalAutoDetect);
  config.AllConnections = settings.ReadSettingFlag(keys::kAllConnections);
  registry.SelectRoot(RegistryRoot::CurrentUser);
  const ProxySet set = SetOf(config.LocalProxyEnabled, config.LocalProxyExceptions, config.LocalProxyServer,
                             config.LocalHomePage, config.LocalAutoConfigUrl, config.LocalAutoDetect, outcome);
  outcome.connections = ApplyInternetSet(set, config.AllConnections, registry, connections);
  outcome.applied = true;
  return outcome;
}

std::vector<ConnectionOutcome> ApplyInternetSet(const ProxySet& set, bool allConnections, RegistryAccess& registry,
                                                ConnectionOptions& connections) {
  std::vector<ConnectionOutcome> outcomes = SetConnections(set, allConnections, connections);
  WriteInternetSettings(registry, set);
  return outcomes;
}

void WriteInternetSettings(RegistryAccess& registry, const ProxySet& set) {
  OpenProxyKey(registry, "Failed to set data for '");
  registry.WriteInteger(kProxyEnable, set.enabled ? 1 : 0);
  registry.WriteString(kProxyOverride, set.exceptions);
  registry.WriteString(kProxyServer, set.server);
  if (set.script && set.script->empty())
    registry.DeleteValue(kAutoConfigUrl);
  else if (set.script)
    registry.WriteString(kAutoConfigUrl, *set.script);
  if (registry.OpenKey(kBrowserKey, false)) registry.WriteString(kStartPage, set.homePage);
}

}  // namespace kestel
