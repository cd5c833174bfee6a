// The current user's data protection over crypt32 (CryptProtectData, CryptUnprotectData).
#pragma once

#include <windows.h>

#include "settings/StoredPassword.h"
#include "base/SystemLibrary.h"

namespace kestel {

// crypt32 is loaded on first use: a settings file that never protects a password never loads it.
class Win32UserDataProtection final : public UserDataProtection {
 public:
  std::optional<std::string> Protect(const std::string& data) override;
  std::optional<std::string> Unprotect(const std::string& blob) override;

 private:
  bool Load();

  UniqueModule crypt32_;
};

}  // namespace kestel
