// Starting configured command lines, and knowing the executable's own directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestel {

// What became of one command line, for the run's record.
struct ProgramOutcome {
  bool started = false;
  std::uint32_t error = 0;                // the platform's code when it could not be started
  std::optional<std::uint32_t> exitCode;  // once awaited
  std::uint32_t runMs = 0;                // from its start to its end, when awaited
};

// Starts one command line. With wait, returns after it ended.
ProgramOutcome LaunchProgram(const std::string& commandLine, bool wait, bool show);
// LaunchProgram's verdict alone: true when the process was created.
bool RunProgram(const std::string& commandLine, bool wait, bool show);

// Works out AppDirectory from the executable's full path; called once at start-up.
void InitAppDirectory();
// The process-wide directory of the executable, set by InitAppDirectory.
extern std::string AppDirectory;

}  // namespace kestel
