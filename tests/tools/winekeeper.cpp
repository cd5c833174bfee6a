// Holds a test run's Wine prefix open: its service processes and its desktop start here, with this
// program's output (none), instead of inside the first test that needs them, whose output pipe they
// would inherit and hold open until the prefix shuts down. The test script ends it by process id.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Asking for the desktop window starts the desktop process of the prefix.
  if (GetDesktopWindow() == nullptr) return 1;
  Sleep(INFINITE);
  return 0;
}
