// Control identifiers of Form1's components, for the window itself and for whoever finds them from
// outside. Logon and Button1 take the identifiers of the default and the cancel button.
#pragma once

namespace kestel {

enum Form1ControlId : int {
  kIdLogon = 1,    // IDOK
  kIdButton1 = 2,  // IDCANCEL
  kIdStatus = 100,
  kIdLabel1 = 101,
  kIdImage1 = 102,
  kIdUserNameCaption = 103,
  kIdUserName = 104,
  kIdPasswordCaption = 105,
  kIdPassword = 106,
};

}  // namespace kestel
