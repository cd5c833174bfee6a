// An in-memory settings file with the private-profile calls' results, for tests of the logic above them.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/Utf.h"
#include "settings/Policy.h"
#include "settings/SettingsFile.h"

namespace kestel::testing {

class FakeProfile final : public ProfileApi {
 public:
  struct Entry {
    std::string section, key, value;
  };
  std::vector<Entry> entries;         // in file order
  std::vector<std::string> writes;    // "section/key=value", in order
  std::vector<std::string> readKeys;  // every key read, "section/key", in order
  bool refuseWrites = false;

  FakeProfile& Set(std::string section, std::string key, std::string value) {
    entries.push_back({std::move(section), std::move(key), std::move(value)});
    return *this;
  }

  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char*) override {
    if (size == 0) return 0;
    if (key == nullptr) {
      // Key names, each ended by a zero byte, and one more zero byte; cut short when they do not fit.
      std::string names;
      for (const Entry& e : entries)
        if (Same(e.section, section)) names += e.key + '\0';
      if (names.empty()) {
        buffer[0] = buffer[size > 1 ? 1 : 0] = '\0';
        return 0;
      }
      if (names.size() + 1 > size) {
        names.resize(size - 2);
        names += '\0';
      }
      std::memcpy(buffer, names.data(), names.size());
      buffer[names.size()] = '\0';
      return static_cast<std::uint32_t>(names.size() == size - 1 ? size - 2 : names.size());
    }
    readKeys.push_back(std::string(section) + "/" + key);
    std::string value = defaultText ? defaultText : "";
    for (const Entry& e : entries)
      if (Same(e.section, section) && Same(e.key, key)) {
        value = e.value;
        break;
      }
    const std::size_t copied = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), copied);
    buffer[copied] = '\0';
    return static_cast<std::uint32_t>(copied);
  }

  bool WriteString(const char* section, const char* key, const char* value, const char*) override {
    if (refuseWrites) return false;
    writes.push_back(std::string(section) + "/" + key + "=" + value);
    for (Entry& e : entries)
      if (Same(e.section, section) && Same(e.key, key)) {
        e.value = value;
        return true;
      }
    Set(section, key, value);
    return true;
  }

 private:
  static bool Same(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  }
};

// Policy keys in memory by their sections' own names, with their values as the registry holds them.
class FakePolicyStore final : public PolicyStore {
 public:
  std::map<std::pair<PolicyScope, std::string>, PolicyKey> keys;

  static std::string Utf16(std::string_view text) {  // little-endian, as the registry and this machine hold it
    const std::u16string units = Utf8ToUtf16(text);
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(char16_t));
  }
  // A text as RegSetValueEx stores it, with its terminator.
  FakePolicyStore& Text(PolicyScope scope, std::string section, std::string name, std::string_view text,
                        std::uint32_t type = kRegSz) {
    return Raw(scope, std::move(section), std::move(name), type, Utf16(text) + std::string(2, '\0'));
  }
  FakePolicyStore& Number(PolicyScope scope, std::string section, std::string name, std::uint32_t number) {
    return Raw(scope, std::move(section), std::move(name), kRegDword,
               std::string(reinterpret_cast<const char*>(&number), sizeof number));
  }
  FakePolicyStore& Raw(PolicyScope scope, std::string section, std::string name, std::uint32_t type, std::string data) {
    KeyOf(scope, std::move(section)).values.push_back({std::move(name), type, std::move(data)});
    return *this;
  }
  // A key that is there, with no values yet.
  PolicyKey& KeyOf(PolicyScope scope, std::string section) {
    return keys.try_emplace({scope, std::move(section)}, PolicyKey{PolicyKey::Read::Ok, 0, {}}).first->second;
  }

  PolicyKey ReadKey(PolicyScope scope, std::string_view section) override {
    const auto key = keys.find({scope, std::string(section)});
    return key == keys.end() ? PolicyKey{} : key->second;
  }
};

}  // namespace kestel::testing
