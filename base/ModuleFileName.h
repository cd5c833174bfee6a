// The full path of a module of this process, however long: a profile folder deep under a long user
// name may pass the 260 characters that a fixed buffer would cut it to.
#pragma once

#include <windows.h>

#include <string>

#include "base/Utf.h"

namespace kestel {

// The path of module (nullptr: the executable) in UTF-8; empty when the platform gives none.
inline std::string ModuleFileName(HMODULE module) {
  // A path of the platform's longest form, 32767 units, fits in the last size tried.
  for (DWORD size = MAX_PATH + 1; size <= 0x10000; size *= 2) {
    std::wstring path(size, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), size);
    if (length == 0) return {};
    // A cut path fills the buffer to its end (and has no zero after it on older systems).
    if (length < size) return Utf8(std::wstring_view(path.data(), length));
  }
  return {};
}

}  // namespace kestel
