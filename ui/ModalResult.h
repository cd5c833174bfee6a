// How the logon window's modal display ended, as the run reads it afterwards.
#pragma once

namespace kestel {

enum class ModalResult {
  None,    // not shown, or still open
  Logon,   // confirmed with Logon: the typed texts are taken
  Closed,  // closed from its title bar: the run goes on with what it had
};

}  // namespace kestel
