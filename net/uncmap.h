// Mapping and unmapping network drives, with the system's error text in a box when asked.
#pragma once

#include <windows.h>

#include <string>

namespace kestel {

DWORD MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors, bool noPrompting,
               HWND owner, const std::string& userName, const std::string& password);
DWORD UnmapDrive(const std::string& deviceName, bool showErrors, bool force, bool updateProfile);

// The two halves of each, for a caller that waits for the call elsewhere than where it shows the box:
// the call alone, which may take as long as a slow or gone server makes it, then the box for a
// failure when asked for; result is passed through.
DWORD AddDriveConnection(const std::string& localName, const std::string& remoteName, bool noPrompting, HWND owner,
                         const std::string& userName, const std::string& password);
DWORD CancelDriveConnection(const std::string& deviceName, bool force, bool updateProfile);
enum class DriveCall { Add, Cancel };
DWORD TellDriveFailure(DriveCall call, DWORD result, bool showErrors);

}  // namespace kestel
