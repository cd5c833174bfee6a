// Tells programs already running that the internet settings changed, through wininet.
#pragma once

#include "base/SystemLibrary.h"

namespace kestel {

// wininet is loaded on the first notice, and only then: a run that ends before the away set is put
// into force never loads it.
class InternetSettingsNotifier {
 public:
  // INTERNET_OPTION_SETTINGS_CHANGED, then INTERNET_OPTION_REFRESH, as the platform asks of a program
  // that writes the values. Nothing can be done about a refusal (Wine refuses the second), so none is
  // looked at.
  void SettingsChanged();

 private:
  UniqueModule wininet_;
};

}  // namespace kestel
