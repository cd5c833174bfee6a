// Control identifiers of the logon window's controls, for the window itself and for whoever finds
// them from outside. Logon and Cancel take the identifiers of the default and the cancel button.
#pragma once

namespace kestel {

enum LogonWindowControlId : int {
  kIdLogon = 1,   // IDOK
  kIdCancel = 2,  // IDCANCEL
  kIdStatusLine = 100,
  kIdTagline = 101,
  kIdPicture = 102,
  kIdUserNameCaption = 103,
  kIdUserName = 104,
  kIdPasswordCaption = 105,
  kIdPassword = 106,
};

}  // namespace kestel
