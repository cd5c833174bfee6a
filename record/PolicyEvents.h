// The policy in force, as the run's record tells it.
#pragma once

#include <string>
#include <vector>

#include "record/RunRecord.h"
#include "settings/Policy.h"

namespace kestel {

// One line with every setting that came from policy, by scope, then a warning for each policy value
// Kestel left aside. Nothing at all without policy. Credentials are never among the settings, and a
// warning about one names its key only.
std::vector<RunEvent> PolicyEvents(const Policy& policy);
// A run that goes on without kestel.ini, because policy names the server.
RunEvent SettingsFileAbsentEvent(const std::string& path);

}  // namespace kestel
