// The notice box: the application title, one text, one OK button, no icon, centred on the screen.
#pragma once

#include <string>

namespace kestel {

void ShowNotice(const std::string& text);

}  // namespace kestel
