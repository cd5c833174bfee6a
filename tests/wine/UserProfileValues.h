// Raw access to the current user's proxy and start page values for tests: set them to a known state
// and put back, when the test ends, whatever was there before (a missing value stays missing).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kestel::testing {

// Raw value data, byte for byte.
using Bytes = std::string;

struct RawValue {
  RawValue() = default;
  RawValue(DWORD t, Bytes d) : type(t), data(std::move(d)) {}
  DWORD type = REG_NONE;
  Bytes data;
  bool operator==(const RawValue&) const = default;
};

inline Bytes BytesOf(const std::string& text, bool withZero = true) {
  return withZero ? text + '\0' : text;
}
inline Bytes BytesOf(DWORD value) {
  Bytes b(sizeof value, '\0');
  std::memcpy(b.data(), &value, sizeof value);
  return b;
}
inline RawValue Dword(DWORD v) {
  return {REG_DWORD, BytesOf(v)};
}
inline RawValue Sz(const std::string& s) {
  return {REG_SZ, BytesOf(s)};
}

struct TestKeyCloser {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using TestKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TestKeyCloser>;

inline TestKey CreateKey(const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  return TestKey(key);
}

inline std::optional<RawValue> GetRaw(HKEY key, const std::string& name) {
  DWORD size = 0;
  RawValue v;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  v.data.resize(size);
  if (RegQueryValueExA(key, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.data.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  v.data.resize(size);
  return v;
}

// Sets the value, or removes it for nullopt.
inline void PutRaw(HKEY key, const std::string& name, const std::optional<RawValue>& v) {
  if (!v) {
    RegDeleteValueA(key, name.c_str());
    return;
  }
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, v->type, reinterpret_cast<const BYTE*>(v->data.data()),
                           static_cast<DWORD>(v->data.size())),
            ERROR_SUCCESS)
      << name;
}

// ProxyEnable, ProxyOverRide, ProxyServer and Start Page, in that order.
using ProfileValues = std::vector<std::optional<RawValue>>;

class SavedUserProfile {
 public:
  TestKey proxy = CreateKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
  TestKey browser = CreateKey("SOFTWARE\\Microsoft\\Internet Explorer\\Main");

  SavedUserProfile() : saved_(Values()) {}
  ~SavedUserProfile() { Set(saved_); }
  SavedUserProfile(const SavedUserProfile&) = delete;
  SavedUserProfile& operator=(const SavedUserProfile&) = delete;

  ProfileValues Values() const {
    return {GetRaw(proxy.get(), "ProxyEnable"), GetRaw(proxy.get(), "ProxyOverRide"),
            GetRaw(proxy.get(), "ProxyServer"), GetRaw(browser.get(), "Start Page")};
  }
  void Set(const ProfileValues& values) const {
    PutRaw(proxy.get(), "ProxyEnable", values.at(0));
    PutRaw(proxy.get(), "ProxyOverRide", values.at(1));
    PutRaw(proxy.get(), "ProxyServer", values.at(2));
    PutRaw(browser.get(), "Start Page", values.at(3));
  }

 private:
  ProfileValues saved_;
};

}  // namespace kestel::testing
