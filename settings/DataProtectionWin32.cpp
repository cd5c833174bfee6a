#include "settings/DataProtectionWin32.h"

#include <wincrypt.h>

#include <limits>

namespace kestel {

namespace {

// The platform hands its output over in memory the caller frees with LocalFree.
using UniqueLocalBytes = Unique<BYTE*, LocalFree>;

// Either call, with no description, entropy or prompt: no dialog may come up at logon.
template <class Function>
std::optional<std::string> Transform(Function* transform, const std::string& input) {
  if (transform == nullptr || input.size() > std::numeric_limits<DWORD>::max()) return std::nullopt;
  DATA_BLOB in{static_cast<DWORD>(input.size()), reinterpret_cast<BYTE*>(const_cast<char*>(input.data()))};
  DATA_BLOB out{};
  if (!transform(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return std::nullopt;
  const UniqueLocalBytes owned(out.pbData);
  return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
}

}  // namespace

bool Win32UserDataProtection::Load() {
  if (!crypt32_) crypt32_ = LoadSystemLibrary("crypt32.dll");
  return crypt32_ != nullptr;
}

std::optional<std::string> Win32UserDataProtection::Protect(const std::string& data) {
  if (!Load()) return std::nullopt;
  return Transform(ProcedureOf<decltype(CryptProtectData)>(crypt32_.get(), "CryptProtectData"), data);
}

std::optional<std::string> Win32UserDataProtection::Unprotect(const std::string& blob) {
  if (!Load()) return std::nullopt;
  return Transform(ProcedureOf<decltype(CryptUnprotectData)>(crypt32_.get(), "CryptUnprotectData"), blob);
}

}  // namespace kestel
