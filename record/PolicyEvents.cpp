#include "record/PolicyEvents.h"

#include "record/RecordText.h"

namespace kestel {

std::vector<RunEvent> PolicyEvents(const Policy& policy) {
  std::vector<RunEvent> events;
  std::string text;
  for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    std::string taken;
    for (const PolicySetting& setting : policy.settings) {
      if (setting.scope != scope) continue;
      const std::string section(setting.key->section);
      if (!taken.empty()) taken += ", ";
      if (setting.key->kind != SettingKind::List) {
        const bool flag = setting.key->kind == SettingKind::Flag;
        taken += Join({section, "\\", setting.key->name, "=", flag ? setting.value : Quoted(setting.value)});
      } else if (setting.entries.empty()) {
        taken += Join({section, " (no entries)"});
      }
      for (std::size_t i = 0; i < setting.entries.size(); ++i)
        taken +=
            Join({i == 0 ? "" : ", ", section, "\\", setting.entries[i].first, "=", Quoted(setting.entries[i].second)});
    }
    if (!taken.empty()) text += Join({text.empty() ? "" : "; ", "from ", ScopeName(scope), " policy: ", taken});
  }
  if (!text.empty()) events.push_back({EventKind::Policy, Severity::Information, text});
  for (const PolicyFinding& finding : policy.findings)
    events.push_back({EventKind::Policy, Severity::Warning, DescribeFinding(finding)});
  return events;
}

RunEvent SettingsFileAbsentEvent(const std::string& path) {
  return {EventKind::SettingsFile, Severity::Information,
          Join({Quoted(path), " is not there: policy names the server, and the first thing a run stores creates it"})};
}

}  // namespace kestel
