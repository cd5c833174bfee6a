#include "launch/Launch.h"

#include <windows.h>

#include "launch/AppDirectory.h"

namespace kestel {

std::string AppDirectory;

void InitAppDirectory() {
  char path[261] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  AppDirectory = DirectoryOfPath(std::string_view(path, length < sizeof path ? length : sizeof path - 1));
}

// Stand-in until the launcher lands.
bool RunProgram(const std::string&, bool, bool) { return false; }

}  // namespace kestel
