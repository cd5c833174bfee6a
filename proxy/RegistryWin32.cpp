#include "proxy/RegistryWin32.h"

#include <limits>
#include <vector>

#include "base/Errors.h"
#include "base/Utf.h"

namespace kestel {

namespace {

[[noreturn]] void FailGet(const std::string& name) {
  Raise(kRegistryError, "Failed to get data for '" + name + "'");
}
[[noreturn]] void FailType(const std::string& name) {
  Raise(kRegistryError, "Invalid data type for '" + name + "'");
}
[[noreturn]] void FailSet(const std::string& name) {
  Raise(kRegistryError, "Failed to set data for '" + name + "'");
}

// The named key below the current user's root; empty when it cannot be opened.
UniqueRegistryKey OpenKey(const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key).c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return {};
  return UniqueRegistryKey(opened);
}

struct IntegerQuery {
  LSTATUS status = ERROR_INVALID_HANDLE;  // what a read from a key that cannot be opened amounts to
  DWORD type = REG_NONE;
  DWORD bits = 0;  // stays zero where a shorter value leaves bytes unwritten
};

IntegerQuery QueryInteger(const std::string& key, const std::string& name) {
  IntegerQuery q;
  const UniqueRegistryKey opened = OpenKey(key);
  if (!opened) return q;
  DWORD size = sizeof q.bits;
  q.status =
      RegQueryValueExW(opened.get(), Wide(name).c_str(), nullptr, &q.type, reinterpret_cast<BYTE*>(&q.bits), &size);
  return q;
}

std::int32_t CheckedInteger(const std::string& name, const IntegerQuery& q) {
  if (q.status != ERROR_SUCCESS) FailGet(name);
  if (q.type != REG_DWORD) FailType(name);
  return static_cast<std::int32_t>(q.bits);
}

void SetValue(const std::string& key, const std::string& name, DWORD type, const void* data, std::size_t size) {
  const UniqueRegistryKey opened = OpenKey(key);
  if (!opened || size > std::numeric_limits<DWORD>::max()) FailSet(name);
  if (RegSetValueExW(opened.get(), Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                     static_cast<DWORD>(size)) != ERROR_SUCCESS)
    FailSet(name);
}

}  // namespace

bool Win32Registry::HasKey(const std::string& key) {
  return static_cast<bool>(OpenKey(key));
}

std::int32_t Win32Registry::ReadInteger(const std::string& key, const std::string& name) {
  return CheckedInteger(name, QueryInteger(key, name));
}

std::optional<std::int32_t> Win32Registry::ReadIntegerIfPresent(const std::string& key, const std::string& name) {
  const IntegerQuery q = QueryInteger(key, name);
  if (q.status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return CheckedInteger(name, q);
}

std::string Win32Registry::ReadString(const std::string& key, const std::string& name) {
  const UniqueRegistryKey opened = OpenKey(key);
  if (!opened) return {};
  const std::wstring wideName = Wide(name);
  DWORD size = 0;
  if (RegQueryValueExW(opened.get(), wideName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return {};
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
  DWORD type = REG_NONE;
  if (RegQueryValueExW(opened.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    FailGet(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) FailType(name);
  // Stored data need not end in a zero: the text stops there or at the end of what was returned.
  const std::size_t returned = size / sizeof(wchar_t) < data.size() ? size / sizeof(wchar_t) : data.size();
  std::size_t length = 0;
  while (length < returned && data[length] != L'\0') ++length;
  return Utf8(std::wstring_view(data.data(), length));
}

void Win32Registry::WriteInteger(const std::string& key, const std::string& name, std::int32_t value) {
  const auto bits = static_cast<DWORD>(value);
  SetValue(key, name, REG_DWORD, &bits, sizeof bits);
}

void Win32Registry::WriteString(const std::string& key, const std::string& name, const std::string& text) {
  const std::wstring wide = Wide(text);
  SetValue(key, name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

void Win32Registry::DeleteValue(const std::string& key, const std::string& name) {
  const UniqueRegistryKey opened = OpenKey(key);
  if (!opened) FailSet(name);
  const LSTATUS status = RegDeleteValueW(opened.get(), Wide(name).c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) FailSet(name);
}

}  // namespace kestel
