// Timed starts of a command line, for the bench: how long a program takes from CreateProcess to its
// end, and how much memory it held at its peak.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Driver.h"

namespace kestel::driver {

struct Round {
  double milliseconds = 0;  // from just before CreateProcess to the end of the wait
  DWORD exitCode = 0;
  // The largest peak working set read while the process ran; nullopt when no reading came back (a
  // process that ended before the first one).
  std::optional<std::size_t> peakWorkingSet;
};

// One command line from separate arguments: each argument that is empty or holds a blank, tab or
// quote is put in quotes, with its quotes and the backslashes before them escaped the way the C
// runtime's parser reads them back.
std::string JoinCommandLine(const std::vector<std::string>& args);

// Starts commandLine (the program found as CreateProcess finds it when no application name is
// given), waits for it to end and times it. Throws std::runtime_error when it cannot be started, and
// when it has not ended within timeout (it is then terminated).
Round TimeRound(const std::string& commandLine, Milliseconds timeout);

}  // namespace kestel::driver
