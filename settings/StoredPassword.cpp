#include "settings/StoredPassword.h"

#include <utility>

#include "base/Base64.h"

namespace kestel {

StoredPassword::StoredPassword(std::string stored, std::string_view marker, UserDataProtection& protection)
    : protection_(protection),
      protected_(stored.starts_with(kProtectedPrefix)),
      marker_(stored == marker),
      usable_(std::move(stored)) {
  if (!protected_) return;
  const auto blob = DecodeBase64(std::string_view(*usable_).substr(kProtectedPrefix.size()));
  usable_ = blob ? protection_.Unprotect(*blob) : std::nullopt;
}

bool StoredPassword::SaveTyped(SettingsFile& settings, const std::string& password, bool protect) const {
  const auto value = protect ? ProtectedValue(password) : password;
  if (value) settings.WriteSettingText(keys::kPassword, *value);
  return value.has_value();
}

bool StoredPassword::ProtectInPlace(SettingsFile& settings, bool protect) const {
  if (!protect || protected_ || Missing()) return false;
  const auto value = ProtectedValue(*usable_);
  return value && settings.TryWriteSettingText(keys::kPassword, *value);
}

std::optional<std::string> StoredPassword::ProtectedValue(const std::string& password) const {
  const auto blob = protection_.Protect(password);
  if (!blob) return std::nullopt;
  std::string value = std::string(kProtectedPrefix) + EncodeBase64(*blob);
  // A longer value would be read back cut short, and could never be unprotected again.
  if (value.size() >= SettingsFile::kValueBufferSize) return std::nullopt;
  return value;
}

}  // namespace kestel
