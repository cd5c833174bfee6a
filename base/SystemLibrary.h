// A system DLL loaded when a step first needs it, so that runs without that step never pay for it.
// Below every subsystem: the run, the network modules and the checker all load some on demand.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace kestel {

using UniqueModule = Unique<HMODULE, FreeLibrary>;

// The named export of module as the function type it is declared with; nullptr when it has none.
template <class Function>
Function* ProcedureOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace kestel
