#include "settings/PolicyWin32.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/Utf.h"

namespace kestel {

namespace {

// The longest value name the registry allows, with its terminator.
constexpr DWORD kNameChars = 16384;
// A value that grows between being sized and being read is asked for again, a few times at most.
constexpr int kGrowthRetries = 4;

// The key opened through the calls, closed through them again.
class OpenedKey {
 public:
  OpenedKey(PolicyRegistryCalls& calls, HKEY key) : calls_(calls), key_(key) {}
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() { calls_.CloseKey(key_); }
  HKEY get() const noexcept { return key_; }

 private:
  PolicyRegistryCalls& calls_;
  HKEY key_;
};

}  // namespace

PolicyKey Win32PolicyStore::ReadKey(PolicyScope scope, std::string_view section) {
  PolicyKey read;
  const std::wstring path = L"Software\\Policies\\Kestel\\" + Wide(section);
  // Read access only: a user may read the policy keys but not change them, and Windows refuses an open
  // that asks for more. The 64-bit view, where the policy engine writes.
  HKEY handle = nullptr;
  const LSTATUS opened = calls_.OpenKey(scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                        path.c_str(), KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle);
  if (opened == ERROR_FILE_NOT_FOUND) return read;
  if (opened != ERROR_SUCCESS) {
    read.read = PolicyKey::Read::Failed;
    read.error = static_cast<std::uint32_t>(opened);
    return read;
  }
  const OpenedKey key(calls_, handle);
  std::vector<wchar_t> name(kNameChars);
  std::vector<BYTE> data(1024);
  int retries = 0;
  for (DWORD index = 0;;) {
    DWORD nameChars = kNameChars;
    DWORD type = REG_NONE;
    auto dataBytes = static_cast<DWORD>(data.size());
    const LSTATUS got = calls_.EnumValue(key.get(), index, name.data(), &nameChars, &type, data.data(), &dataBytes);
    if (got == ERROR_NO_MORE_ITEMS) {
      read.read = PolicyKey::Read::Ok;
      return read;
    }
    if (got == ERROR_MORE_DATA && dataBytes > data.size() && retries++ < kGrowthRetries) {
      data.resize(dataBytes);
      continue;
    }
    if (got != ERROR_SUCCESS) {
      read.read = PolicyKey::Read::Failed;
      read.error = static_cast<std::uint32_t>(got);
      read.values.clear();
      return read;
    }
    const std::size_t bytes = std::min<std::size_t>(dataBytes, data.size());
    read.values.push_back({Utf8(std::wstring_view(name.data(), std::min(nameChars, kNameChars))), type,
                           std::string(reinterpret_cast<const char*>(data.data()), bytes)});
    ++index;
    retries = 0;
  }
}

}  // namespace kestel
