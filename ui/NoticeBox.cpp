#include "ui/NoticeBox.h"

#include <windows.h>

#include "ui/main.h"

namespace kestel {

// Stand-in until the real notice box lands.
void ShowNotice(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), Application::Title().c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace kestel
