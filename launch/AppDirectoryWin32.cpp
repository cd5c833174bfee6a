#include "launch/AppDirectoryWin32.h"

#include <windows.h>

#include "base/ModuleFileName.h"
#include "launch/AppDirectory.h"

namespace kestel {

std::string AppDirectory;

void InitAppDirectory() {
  AppDirectory = DirectoryOfPath(ModuleFileName(nullptr));
}

}  // namespace kestel
