// The process-wide folder of the running executable, where kestel.ini and a relative log file are.
#pragma once

#include <string>

namespace kestel {

// Works out AppDirectory from the executable's full path; called once at start-up.
void InitAppDirectory();
// The process-wide directory of the executable, set by InitAppDirectory.
extern std::string AppDirectory;

}  // namespace kestel
