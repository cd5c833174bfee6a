#include "launch/AppDirectoryWin32.h"

#include <windows.h>

#include "launch/AppDirectory.h"

namespace kestel {

std::string AppDirectory;

void InitAppDirectory() {
  char path[261] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  AppDirectory = DirectoryOfPath(std::string_view(path, length < sizeof path ? length : sizeof path - 1));
}

}  // namespace kestel
