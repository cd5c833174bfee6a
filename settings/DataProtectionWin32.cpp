#include "settings/DataProtectionWin32.h"

#include <wincrypt.h>

#include <limits>

#include "base/CodePageWin32.h"

namespace kestel {

namespace {

// The platform hands its output over in memory the caller frees with LocalFree.
using UniqueLocalBytes = Unique<BYTE*, LocalFree>;

// Protected values of today carry the password as UTF-8 and are made with this entropy; those of
// earlier Kestel carry it in the ANSI code page and were made without any. A blob opens only with the
// entropy it was made with, so each tells its own form, and an earlier Kestel given a new value
// cannot open it and asks for the password instead of logging on with a wrong one.
constexpr char kUtf8Entropy[] = "Kestel password, UTF-8";

// Either call, with no description or prompt: no dialog may come up at logon.
template <class Function>
std::optional<std::string> Transform(Function* transform, const std::string& input, bool utf8Form) {
  if (transform == nullptr || input.size() > std::numeric_limits<DWORD>::max()) return std::nullopt;
  DATA_BLOB in{static_cast<DWORD>(input.size()), reinterpret_cast<BYTE*>(const_cast<char*>(input.data()))};
  DATA_BLOB entropy{sizeof kUtf8Entropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kUtf8Entropy))};
  DATA_BLOB out{};
  if (!transform(&in, nullptr, utf8Form ? &entropy : nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return std::nullopt;
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
  return Transform(ProcedureOf<decltype(CryptProtectData)>(crypt32_.get(), "CryptProtectData"), data, true);
}

std::optional<std::string> Win32UserDataProtection::Unprotect(const std::string& blob) {
  if (!Load()) return std::nullopt;
  auto* unprotect = ProcedureOf<decltype(CryptUnprotectData)>(crypt32_.get(), "CryptUnprotectData");
  if (auto text = Transform(unprotect, blob, true)) return text;
  const auto earlier = Transform(unprotect, blob, false);
  if (!earlier) return std::nullopt;
  return AnsiToUtf8(*earlier);
}

}  // namespace kestel
