// Starting configured command lines, and knowing the executable's own directory.
#pragma once

#include <string>

namespace kestel {

// Starts one command line; true when the process was created. With wait, returns after it ended.
bool RunProgram(const std::string& commandLine, bool wait, bool show);

// Works out AppDirectory from GetModuleFileNameA; called once at start-up.
void InitAppDirectory();
// The process-wide directory of the executable, set by InitAppDirectory.
extern std::string AppDirectory;

}  // namespace kestel
