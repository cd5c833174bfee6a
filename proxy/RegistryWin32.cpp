#include "proxy/RegistryWin32.h"

#include <limits>
#include <vector>

#include "base/Errors.h"

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

struct IntegerQuery {
  LSTATUS status = ERROR_INVALID_HANDLE;  // what a read without an open key amounts to
  DWORD type = REG_NONE;
  DWORD bits = 0;  // stays zero where a shorter value leaves bytes unwritten
};

IntegerQuery QueryInteger(HKEY key, const std::string& name) {
  IntegerQuery q;
  if (key == nullptr) return q;
  DWORD size = sizeof q.bits;
  q.status = RegQueryValueExA(key, name.c_str(), nullptr, &q.type, reinterpret_cast<BYTE*>(&q.bits), &size);
  return q;
}

std::int32_t CheckedInteger(const std::string& name, const IntegerQuery& q) {
  if (q.status != ERROR_SUCCESS) FailGet(name);
  if (q.type != REG_DWORD) FailType(name);
  return static_cast<std::int32_t>(q.bits);
}

void SetValue(HKEY key, const std::string& name, DWORD type, const void* data, std::size_t size) {
  if (key == nullptr || size > std::numeric_limits<DWORD>::max()) FailSet(name);
  if (RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) !=
      ERROR_SUCCESS)
    FailSet(name);
}

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
  }
  return HKEY_CURRENT_USER;  // no other root is defined
}

}  // namespace

void Win32Registry::SelectRoot(RegistryRoot root) {
  const HKEY key = RootKey(root);
  if (key == root_) return;
  current_.reset();
  root_ = key;
}

bool Win32Registry::OpenKey(const std::string& path, bool create) {
  HKEY base = current_ ? current_.get() : root_;
  std::string subKey = path;
  if (!subKey.empty() && subKey.front() == '\\') {
    base = root_;
    subKey.erase(0, 1);
  }
  HKEY opened = nullptr;
  const LSTATUS status = create ? RegCreateKeyExA(base, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                  KEY_ALL_ACCESS, nullptr, &opened, nullptr)
                                : RegOpenKeyExA(base, subKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
  if (status != ERROR_SUCCESS) return false;
  current_.reset(opened);
  return true;
}

std::int32_t Win32Registry::ReadInteger(const std::string& name) {
  return CheckedInteger(name, QueryInteger(current_.get(), name));
}

std::optional<std::int32_t> Win32Registry::ReadIntegerIfPresent(const std::string& name) {
  const IntegerQuery q = QueryInteger(current_.get(), name);
  if (q.status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return CheckedInteger(name, q);
}

std::string Win32Registry::ReadString(const std::string& name) {
  if (!current_) return {};
  DWORD size = 0;
  if (RegQueryValueExA(current_.get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return {};
  std::vector<char> data(size, '\0');
  DWORD type = REG_NONE;
  if (RegQueryValueExA(current_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    FailGet(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) FailType(name);
  // Stored data need not end in a zero byte: the text stops there or at the end of what was returned.
  const std::size_t returned = size < data.size() ? size : data.size();
  std::size_t length = 0;
  while (length < returned && data[length] != '\0') ++length;
  return std::string(data.data(), length);
}

void Win32Registry::WriteInteger(const std::string& name, std::int32_t value) {
  const auto bits = static_cast<DWORD>(value);
  SetValue(current_.get(), name, REG_DWORD, &bits, sizeof bits);
}

void Win32Registry::WriteString(const std::string& name, const std::string& text) {
  SetValue(current_.get(), name, REG_SZ, text.c_str(), text.size() + 1);
}

void Win32Registry::DeleteValue(const std::string& name) {
  if (!current_) FailSet(name);
  const LSTATUS status = RegDeleteValueA(current_.get(), name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) FailSet(name);
}

}  // namespace kestel
