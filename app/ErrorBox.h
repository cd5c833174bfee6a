// The end of a run that raised an error nobody caught.
#pragma once

#include <cstdint>
#include <string>

namespace kestel {

// The exception code under which such an error is offered to the last-chance filter.
inline constexpr unsigned long kUncaughtErrorCode = 0xE04B5354ul;

// Offers the error to UnhandledExceptionFilter, then shows the task-modal "Application Error" box.
// Returns the exit code, 1. When the filter asks for the search to go on (a debugger is attached),
// the error is raised to the platform instead, which ends the process by its own rules.
int ReportUncaughtError(const std::string& kind, const std::string& message, const void* address);

// The file name, without directory, of the module holding address, and the address relative to its base.
std::string ModuleNameOf(const void* address, std::uintptr_t& offset);

}  // namespace kestel
