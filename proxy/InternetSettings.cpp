#include "proxy/InternetSettings.h"

#include "base/AsciiText.h"

namespace kestel {

namespace {

constexpr const char* kProxyKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kProxyEnable = "ProxyEnable";
constexpr const char* kProxyOverride = "ProxyOverRide";
constexpr const char* kProxyServer = "ProxyServer";
constexpr const char* kAutoConfigUrl = "AutoConfigURL";
constexpr const char* kStartPage = "Start Page";

// The set as it is put into force; a script URL that is not http(s) is left out and reported.
ProxySet Applicable(ProxySet set, InternetSetOutcome& outcome) {
  if (set.script && !set.script->empty() && !IsScriptAddress(*set.script)) {
    outcome.refusedScript = *set.script;
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

void CaptureAwaySettings(SettingsFile& settings, RegistryAccess& registry, ConnectionOptions& connections,
                         ProxySet& away, InternetSetOutcome& outcome) {
  // A profile that never set a proxy has no such value, which the platform reads as proxy off.
  away.enabled = registry.ReadIntegerIfPresent(kProxyKey, kProxyEnable).value_or(0) == 1;
  away.exceptions = registry.ReadString(kProxyKey, kProxyOverride);
  away.server = registry.ReadString(kProxyKey, kProxyServer);
  const std::string script = registry.ReadString(kProxyKey, kAutoConfigUrl);
  away.homePage = registry.ReadString(kBrowserKey, kStartPage);
  std::uint32_t flags = 0;
  const ConnectionCall queried = connections.QueryFlags({}, flags);
  if (queried.Failed()) outcome.connections.push_back({ConnectionOutcome::Of::Lan, {}, queried});

  // Only what the user has on is stored, unless the local set speaks of it: then the away set must
  // put back "off" too.
  away.script.reset();
  away.autoDetect.reset();
  if (!script.empty() || settings.ReadSettingIfPresent(keys::kLocal.script)) away.script = script;
  const bool detects = (flags & kProxyTypeAutoDetect) != 0;
  if (!queried.Failed() && (detects || settings.ReadSettingIfPresent(keys::kLocal.autoDetect)))
    away.autoDetect = detects;

  // The start page goes last: its presence is what makes later runs apply instead of capture.
  settings.WriteSettingFlag(keys::kAway.enabled, away.enabled);
  settings.WriteSettingText(keys::kAway.exceptions, away.exceptions);
  settings.WriteSettingText(keys::kAway.server, away.server);
  if (away.script) settings.WriteSettingText(keys::kAway.script, *away.script);
  if (away.autoDetect) settings.WriteSettingFlag(keys::kAway.autoDetect, *away.autoDetect);
  settings.WriteSettingText(keys::kAway.homePage, away.homePage);
}

// Reads the set from kestel.ini into set and puts it into force.
InternetSetOutcome ApplySet(SettingsFile& settings, const ProxySetKeys& keys, RegistryAccess& registry,
                            ConnectionOptions& connections, ProxySet& set, TConfig& config) {
  InternetSetOutcome outcome;
  set = settings.ReadProxySet(keys);
  config.AllConnections = settings.ReadSettingFlag(keys::kAllConnections);
  outcome.connections = ApplyInternetSet(Applicable(set, outcome), config.AllConnections, registry, connections);
  outcome.applied = true;
  return outcome;
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
  if (!outcome.applied) CaptureAwaySettings(settings, registry, connections, config.Sets.away, outcome);
  return outcome;
}

InternetSetOutcome ApplyStoredAwaySettings(SettingsFile& settings, RegistryAccess& registry,
                                           ConnectionOptions& connections, TConfig& config) {
  config.Sets.away.homePage = settings.ReadSettingMarked(keys::kAway.homePage);
  if (config.Sets.away.homePage == keys::kAway.homePage.marker) return {};
  return ApplySet(settings, keys::kAway, registry, connections, config.Sets.away, config);
}

InternetSetOutcome SwitchToLocalSettings(SettingsFile& settings, RegistryAccess& registry,
                                         ConnectionOptions& connections, TConfig& config) {
  return ApplySet(settings, keys::kLocal, registry, connections, config.Sets.local, config);
}

std::vector<ConnectionOutcome> ApplyInternetSet(const ProxySet& set, bool allConnections, RegistryAccess& registry,
                                                ConnectionOptions& connections) {
  std::vector<ConnectionOutcome> outcomes = SetConnections(set, allConnections, connections);
  WriteInternetSettings(registry, set);
  return outcomes;
}

void WriteInternetSettings(RegistryAccess& registry, const ProxySet& set) {
  registry.WriteInteger(kProxyKey, kProxyEnable, set.enabled ? 1 : 0);
  registry.WriteString(kProxyKey, kProxyOverride, set.exceptions);
  registry.WriteString(kProxyKey, kProxyServer, set.server);
  if (set.script && set.script->empty())
    registry.DeleteValue(kProxyKey, kAutoConfigUrl);
  else if (set.script)
    registry.WriteString(kProxyKey, kAutoConfigUrl, *set.script);
  if (registry.HasKey(kBrowserKey)) registry.WriteString(kBrowserKey, kStartPage, set.homePage);
}

}  // namespace kestel
