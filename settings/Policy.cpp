#include "settings/Policy.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "base/AsciiText.h"
#include "base/Utf.h"

namespace kestel {

namespace {

bool IsText(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz;
}

// The registry keeps what was stored, terminated or not: a text ends at its first zero character, as
// a value of the file does, and an odd last byte is no character.
std::string TextOf(const PolicyValue& value) {
  const std::u16string units = Utf16LeUnits(value.data);
  return Utf16ToUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
}

// A shorter number is taken as far as it goes, as the registry accessor does.
std::uint32_t NumberOf(const PolicyValue& value) {
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < value.data.size() && i < 4; ++i)
    number |= static_cast<std::uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
  return number;
}

const PolicyValue* FindValue(const PolicyKey& key, std::string_view name) {
  for (const PolicyValue& value : key.values)
    if (AsciiNameEquals(value.name, name)) return &value;
  return nullptr;
}

// "1", "2", ... with no sign, no leading zero and no more digits than a program list will ever need.
std::optional<std::uint32_t> ProgramNumber(std::string_view name) {
  if (name.empty() || name.size() > 9 || name[0] == '0') return std::nullopt;
  std::uint32_t number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return number;
}

class Reader {
 public:
  explicit Reader(PolicyStore& store) : store_(store) {}

  Policy Read() {
    std::string_view section;
    for (const SettingKey* key : kSettingKeys) {
      if (key->section != section) {
        section = key->section;
        ReadSection(section);
      }
      if (key->kind == SettingKind::List)
        TakeList(*key);
      else if (IsCredential(*key))
        RefuseCredential(*key);
      else
        TakeKey(*key);
    }
    return std::move(policy_);
  }

 private:
  void ReadSection(std::string_view section) {
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
      PolicyKey& read = keys_[static_cast<int>(scope)];
      read = store_.ReadKey(scope, section);
      if (read.read == PolicyKey::Read::Failed)
        Report({.kind = PolicyFinding::Kind::Unreadable,
                .scope = scope,
                .section = std::string(section),
                .code = read.error});
      if (read.read != PolicyKey::Read::Ok) read.values.clear();
    }
  }

  void Report(PolicyFinding finding) { policy_.findings.push_back(std::move(finding)); }

  void RefuseCredential(const SettingKey& key) {
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User})
      if (const PolicyValue* value = FindValue(keys_[static_cast<int>(scope)], key.name))
        Report({.kind = PolicyFinding::Kind::Credential,
                .scope = scope,
                .section = std::string(key.section),
                .name = value->name});
  }

  // A value of the wrong type, or a marker, leaves the key to the next source; both scopes are looked
  // at, so that a broken value is told even where the machine's value wins over it.
  void TakeKey(const SettingKey& key) {
    std::optional<PolicySetting> taken;
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
      const PolicyValue* value = FindValue(keys_[static_cast<int>(scope)], key.name);
      if (value == nullptr) continue;
      const bool flag = key.kind == SettingKind::Flag;
      if (flag ? value->type != kRegDword : !IsText(value->type)) {
        Report({.kind = PolicyFinding::Kind::WrongType,
                .scope = scope,
                .section = std::string(key.section),
                .name = value->name,
                .code = value->type,
                .flag = flag});
        continue;
      }
      std::string text = flag ? (NumberOf(*value) != 0 ? "1" : "0") : TextOf(*value);
      if (!key.marker.empty() && text == key.marker) continue;
      if (!taken) taken = PolicySetting{.key = &key, .scope = scope, .value = std::move(text)};
    }
    if (taken) policy_.settings.push_back(std::move(*taken));
  }

  // A key with values sets the list, even when every entry is left out: the administrator meant a list.
  void TakeList(const SettingKey& key) {
    std::optional<PolicySetting> taken;
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
      const PolicyKey& read = keys_[static_cast<int>(scope)];
      if (read.values.empty()) continue;
      PolicySetting list{.key = &key, .scope = scope};
      std::vector<std::uint32_t> numbers;
      for (const PolicyValue& value : read.values) {
        PolicyFinding finding{.scope = scope, .section = std::string(key.section), .name = value.name};
        const std::optional<std::uint32_t> number = ProgramNumber(value.name);
        if (!IsText(value.type)) {
          finding.code = value.type;
          finding.listEntry = true;
        } else if (key.list == ListOf::Drives ? value.name.empty() : !number) {
          finding.kind = PolicyFinding::Kind::IgnoredName;
        } else {
          list.entries.emplace_back(value.name, TextOf(value));
          numbers.push_back(number.value_or(0));
          continue;
        }
        Report(std::move(finding));
      }
      Order(key, list.entries, numbers);
      if (!taken) taken = std::move(list);
    }
    if (taken) policy_.settings.push_back(std::move(*taken));
  }

  // The registry keeps values in no order of its own: programs run by their numbers, drives go by
  // their names.
  static void Order(const SettingKey& key, std::vector<std::pair<std::string, std::string>>& entries,
                    const std::vector<std::uint32_t>& numbers) {
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return key.list == ListOf::Drives ? AsciiLowered(entries[a].first) < AsciiLowered(entries[b].first)
                                        : numbers[a] < numbers[b];
    });
    std::vector<std::pair<std::string, std::string>> ordered;
    for (const std::size_t i : order) ordered.push_back(std::move(entries[i]));
    entries = std::move(ordered);
  }

  PolicyStore& store_;
  PolicyKey keys_[2];
  Policy policy_;
};

const char* TypeName(std::uint32_t type) {
  static constexpr const char* kNames[] = {"REG_NONE",
                                           "REG_SZ",
                                           "REG_EXPAND_SZ",
                                           "REG_BINARY",
                                           "REG_DWORD",
                                           "REG_DWORD_BIG_ENDIAN",
                                           "REG_LINK",
                                           "REG_MULTI_SZ",
                                           "REG_RESOURCE_LIST",
                                           "REG_FULL_RESOURCE_DESCRIPTOR",
                                           "REG_RESOURCE_REQUIREMENTS_LIST",
                                           "REG_QWORD"};
  return type < std::size(kNames) ? kNames[type] : nullptr;
}

}  // namespace

std::string PolicyPath(PolicyScope scope, std::string_view section, std::string_view name) {
  std::string path = scope == PolicyScope::Machine ? "HKLM" : "HKCU";
  (path += "\\Software\\Policies\\Kestel\\") += section;
  if (!name.empty()) (path += "\\") += name;
  return path;
}

const char* ScopeName(PolicyScope scope) {
  return scope == PolicyScope::Machine ? "machine" : "user";
}

std::string DescribeFinding(const PolicyFinding& f) {
  const std::string path = PolicyPath(f.scope, f.section, f.name);
  switch (f.kind) {
    case PolicyFinding::Kind::WrongType: {
      const char* name = TypeName(f.code);
      const std::string type = name != nullptr ? name : "of type " + std::to_string(f.code);
      return path + " is " + type + ", not " + (f.flag ? "REG_DWORD" : "REG_SZ or REG_EXPAND_SZ") + ": " +
             (f.listEntry ? "Kestel leaves this entry out of the list" : "Kestel takes it as not set");
    }
    case PolicyFinding::Kind::Credential:
      return path +
             " is ignored: user name and password never come from policy, which every user of the domain "
             "can read; they stay in kestel.ini";
    case PolicyFinding::Kind::IgnoredName:
      return path + (f.name.empty() ? " has an unnamed (default) value" : " is not named 1, 2, 3, ...") +
             ": Kestel leaves it out of the list";
    case PolicyFinding::Kind::Unreadable:
      return path + " cannot be read (error " + std::to_string(f.code) + "): nothing in it counts";
  }
  return path;
}

const PolicySetting* Policy::Find(std::string_view section, const char* name) const {
  for (const PolicySetting& setting : settings) {
    if (!AsciiNameEquals(setting.key->section, section)) continue;
    if (setting.key->kind == SettingKind::List || (name != nullptr && AsciiNameEquals(setting.key->name, name)))
      return &setting;
  }
  return nullptr;
}

const PolicySetting* Policy::Find(const SettingKey& key) const {
  for (const PolicySetting& setting : settings)
    if (setting.key == &key) return &setting;
  return nullptr;
}

Policy ReadPolicy(PolicyStore& store) {
  return Reader(store).Read();
}

std::uint32_t PolicyProfile::GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                                       std::uint32_t size, const char* path) {
  const PolicySetting* setting = policy_.Find(section, key);
  if (setting == nullptr || size == 0) return file_.GetString(section, key, defaultText, buffer, size, path);
  if (key == nullptr) {
    std::vector<std::string_view> names;
    for (const auto& entry : setting->entries) names.push_back(entry.first);
    return CopyProfileNames(names, buffer, size);
  }
  std::string_view value = defaultText != nullptr ? defaultText : "";
  if (setting->key->kind != SettingKind::List) value = setting->value;
  for (const auto& entry : setting->entries)
    if (AsciiNameEquals(entry.first, key)) value = entry.second;
  return CopyProfileValue(value, buffer, size);
}

bool PolicyProfile::WriteString(const char* section, const char* key, const char* value, const char* path) {
  // What policy sets stays policy's: the file keeps its own line, which counts again once policy goes.
  if (policy_.Find(section, key) != nullptr) return true;
  return file_.WriteString(section, key, value, path);
}

}  // namespace kestel
