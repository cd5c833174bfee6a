// Starting the programs under test and making sure none outlives its test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Driver.h"

namespace kestel::driver {

inline constexpr Milliseconds kExitTimeout{20000};  // Wine may take a while to start and end a process

// Variables to set (value) or remove (nullopt) in a child's environment; names match without case.
using EnvOverrides = std::vector<std::pair<std::string, std::optional<std::string>>>;
// The current environment with overrides applied, as a block of "NAME=value\0" entries ending in
// an extra "\0"; the order of the current variables is kept and new ones are appended.
std::string BuildEnvironmentBlock(const EnvOverrides& overrides);

// A started process. Destroying it terminates the process if it is still running, so no test leaves
// one behind.
class Process {
 public:
  Process(UniqueHandle process, DWORD pid) : process_(std::move(process)), pid_(pid) {}
  Process(Process&&) noexcept = default;
  Process& operator=(Process&&) noexcept;
  ~Process();

  DWORD Pid() const noexcept { return pid_; }
  HANDLE Handle() const noexcept { return process_.get(); }
  // The exit code once the process has ended within timeout; nullopt while it still runs.
  std::optional<DWORD> WaitExit(Milliseconds timeout = kExitTimeout);
  bool Running() const;
  // Ends the process (exit code 255) and waits for it to go.
  void Terminate();
  // Lets the process outlive this object (for a command that starts a program and leaves it running).
  void Release() noexcept { process_.reset(); }

 private:
  UniqueHandle process_;
  DWORD pid_ = 0;
};

struct StartOptions {
  EnvOverrides env;
  // The working folder of the process; empty: the caller's (a Sandbox uses itself instead).
  std::string workingDir;
  // Text after the quoted program path on the command line.
  std::string arguments;
  // An inheritable handle that receives the program's standard output and error; null: none given.
  HANDLE output = nullptr;
};

// Starts a program (full Windows path) with the given environment and working folder; throws
// std::runtime_error when it cannot be started.
Process StartProgram(const std::string& program, const StartOptions& options = {});

}  // namespace kestel::driver
