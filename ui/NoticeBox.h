// The notice box: the application title, one text, one OK button, no icon, centred on the screen.
#pragma once

#include <string>

namespace kestel {

class Application;

// Waits until the box is answered, or closes it at once when the application is ending.
void ShowNotice(Application& application, const std::string& text);

}  // namespace kestel
