// The password of section "user": stored as typed, or protected so that only its user can read it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/SettingsFile.h"

namespace kestel {

// A stored password that begins with this is in the protected form: the prefix, then the standard
// base64 ('=' padded) of the blob the platform's user data protection made of the password's bytes.
// Braces keep it apart from any password a person would write in.
inline constexpr std::string_view kProtectedPrefix = "{protected}";

// The platform's data protection for the current user on this machine.
class UserDataProtection {
 public:
  virtual ~UserDataProtection() = default;
  // The protected blob; nullopt when the platform refuses.
  virtual std::optional<std::string> Protect(const std::string& data) = 0;
  // The data again; nullopt when the blob is another user's or another machine's, or damaged.
  virtual std::optional<std::string> Unprotect(const std::string& blob) = 0;
};

// The stored value of "password" as read at home, and what the run writes back once every drive has
// mapped.
class StoredPassword {
 public:
  // stored: the text read from the file (the marker default when the key is missing); marker: that
  // default, compared with the stored text as whole, case-sensitive text.
  StoredPassword(std::string stored, std::string_view marker, UserDataProtection& protection);

  // The password to map with: the stored text, unprotected when it is in the protected form. nullopt
  // when it cannot be unprotected.
  const std::optional<std::string>& Usable() const noexcept { return usable_; }
  // The marker, or a value that cannot be unprotected: the logon dialog asks.
  bool Missing() const noexcept { return marker_ || !usable_; }

  // A password typed into the logon dialog. Without protection it is written as it is, and a refused
  // write raises as every write of typed credentials does. With protection only its protected form
  // is written; when there is none (see ProtectedValue) the stored value stays as it was. True when
  // the password was written.
  bool SaveTyped(SettingsFile& settings, const std::string& password, bool protect) const;
  // With protection, a plain stored password is replaced by its protected form; a refusal on the
  // way (the platform's, or the file's) leaves it as it is, without a word. True when it was replaced.
  bool ProtectInPlace(SettingsFile& settings, bool protect) const;

 private:
  // The protected form of password; nullopt when the platform refuses, or when the form would be
  // longer than the settings file reads back.
  std::optional<std::string> ProtectedValue(const std::string& password) const;

  UserDataProtection& protection_;
  bool protected_;
  bool marker_;
  std::optional<std::string> usable_;
};

}  // namespace kestel
