#include "app/InternetSettingsWin32.h"

#include <wininet.h>

namespace kestel {

void InternetSettingsNotifier::SettingsChanged() {
  if (!wininet_) wininet_ = LoadSystemLibrary("wininet.dll");
  if (!wininet_) return;
  const auto setOption = ProcedureOf<decltype(InternetSetOptionA)>(wininet_.get(), "InternetSetOptionA");
  if (setOption == nullptr) return;
  setOption(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
  setOption(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
}

}  // namespace kestel
