// Starting configured command lines.
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

}  // namespace kestel
