#include "net/uncmap.h"

#include <winnetwk.h>

#include "base/ErrorTextWin32.h"
#include "base/Utf.h"

namespace kestel {

namespace {

// Owner nullptr with MB_TASKMODAL: the box holds off every window of the application, not just
// the status window, and needs no window of its own to exist.
void ShowFailure(const char* firstLine, const char* caption, DWORD code) {
  const std::string text = std::string(firstLine) + "\r\n" + SystemErrorText(code);
  MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace

DWORD AddDriveConnection(const std::string& localName, const std::string& remoteName, bool noPrompting, HWND owner,
                         const std::string& userName, const std::string& password) {
  std::wstring local = Wide(localName);
  std::wstring remote = Wide(remoteName);
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = local.data();
  resource.lpRemoteName = remote.data();
  // Never CONNECT_UPDATE_PROFILE: a drive mapped here must not come back by itself at the next logon.
  const DWORD flags = noPrompting ? 0 : CONNECT_INTERACTIVE;
  return WNetAddConnection3W(owner, &resource, Wide(password).c_str(), Wide(userName).c_str(), flags);
}

DWORD CancelDriveConnection(const std::string& deviceName, bool force, bool updateProfile) {
  return WNetCancelConnection2W(Wide(deviceName).c_str(), updateProfile ? CONNECT_UPDATE_PROFILE : 0,
                                force ? TRUE : FALSE);
}

// The text is that of the returned code: a provider need not leave it in the thread's last error.
DWORD TellDriveFailure(DriveCall call, DWORD result, bool showErrors) {
  if (result == NO_ERROR || !showErrors) return result;
  if (call == DriveCall::Add)
    ShowFailure("An error occured while connecting:", "Error while connecting!", result);
  else
    ShowFailure("An error occured while disconnecting:", "Error while disconnecting", result);
  return result;
}

DWORD MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors, bool noPrompting,
               HWND owner, const std::string& userName, const std::string& password) {
  return TellDriveFailure(
      DriveCall::Add, AddDriveConnection(localName, remoteName, noPrompting, owner, userName, password), showErrors);
}

DWORD UnmapDrive(const std::string& deviceName, bool showErrors, bool force, bool updateProfile) {
  return TellDriveFailure(DriveCall::Cancel, CancelDriveConnection(deviceName, force, updateProfile), showErrors);
}

}  // namespace kestel
