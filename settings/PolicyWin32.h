// Policy from the registry: the values of Software\Policies\Kestel\<section> under HKLM and HKCU, in
// the 64-bit view, read through RegOpenKeyExW and RegEnumValueW.
#pragma once

#include <windows.h>

#include "settings/Policy.h"

namespace kestel {

// The registry calls the reader makes, with advapi32's arguments and results, so that a test can
// answer them as Windows documents them where Wine is more forgiving (access rights, a value that
// grows between two calls).
class PolicyRegistryCalls {
 public:
  virtual ~PolicyRegistryCalls() = default;
  virtual LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM access, HKEY* opened) = 0;
  virtual LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars, DWORD* type, BYTE* data,
                            DWORD* dataBytes) = 0;
  virtual LSTATUS CloseKey(HKEY key) = 0;
};

class Advapi32PolicyCalls final : public PolicyRegistryCalls {
 public:
  LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM access, HKEY* opened) override {
    return RegOpenKeyExW(root, path, 0, access, opened);
  }
  LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars, DWORD* type, BYTE* data,
                    DWORD* dataBytes) override {
    return RegEnumValueW(key, index, name, nameChars, nullptr, type, data, dataBytes);
  }
  LSTATUS CloseKey(HKEY key) override { return RegCloseKey(key); }
};

// A key that is not there sets nothing; one that cannot be read whole counts as unreadable, never as
// the part that was read.
class Win32PolicyStore final : public PolicyStore {
 public:
  explicit Win32PolicyStore(PolicyRegistryCalls& calls) : calls_(calls) {}
  PolicyKey ReadKey(PolicyScope scope, std::string_view section) override;

 private:
  PolicyRegistryCalls& calls_;
};

}  // namespace kestel
