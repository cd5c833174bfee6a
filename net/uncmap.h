// Mapping and unmapping network drives, with the system's error text in a box when asked.
#pragma once

#include <windows.h>

#include <string>

namespace kestel {

DWORD MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors, bool noPrompting,
               HWND owner, const std::string& userName, const std::string& password);
DWORD UnmapDrive(const std::string& deviceName, bool showErrors, bool force, bool updateProfile);

}  // namespace kestel
