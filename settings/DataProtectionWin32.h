// The current user's data protection over crypt32 (CryptProtectData, CryptUnprotectData).
#pragma once

#include <windows.h>

#include "base/SystemLibrary.h"
#include "settings/StoredPassword.h"

namespace kestel {

// crypt32 is loaded on first use: a settings file that never protects a password never loads it.
// Protect makes the current form (UTF-8 text); Unprotect opens that form and the earlier one (text in
// the ANSI code page), handing out UTF-8 either way.
class Win32UserDataProtection final : public UserDataProtection {
 public:
  std::optional<std::string> Protect(const std::string& data) override;
  std::optional<std::string> Unprotect(const std::string& blob) override;

 private:
  bool Load();

  UniqueModule crypt32_;
};

}  // namespace kestel
