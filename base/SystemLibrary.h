// A system DLL loaded when a step first needs it, so that runs without that step never pay for it.
// Below every subsystem: the run, the network modules and the checker all load some on demand.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"
#include "base/Utf.h"

namespace kestel {

using UniqueModule = Unique<HMODULE, FreeLibrary>;

// The system's own DLL of that name, from the system folder and nowhere else: a DLL of the same name
// beside kestel.exe, in the working folder or on the PATH never gets into a user's logon. Every DLL
// Kestel loads itself goes through here. Windows 7 without KB2533623 refuses the search flag; there
// the full path in the system folder does the same for the DLL, and the altered search path keeps its
// own imports to that folder too. nullptr when the DLL cannot be loaded.
inline UniqueModule LoadSystemLibrary(const char* name) {
  const std::wstring wideName = Wide(name);
  if (HMODULE module = LoadLibraryExW(wideName.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
    return UniqueModule(module);
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + wideName;
  return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// The named export of module as the function type it is declared with; nullptr when it has none.
template <class Function>
Function* ProcedureOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace kestel
