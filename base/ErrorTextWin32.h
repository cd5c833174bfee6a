// The system's text for an error code, on Windows; below everything that tells of a failure.
#pragma once

#include <windows.h>

#include <string>

namespace kestel {

// The system's text for code, trimmed as the boxes show it.
std::string SystemErrorText(DWORD code);

}  // namespace kestel
