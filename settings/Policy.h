// Settings for a fleet from Group Policy: values under Software\Policies\Kestel of the machine and of
// the user, one key per section of kestel.ini and one value per key, read over kestel.ini. The machine's
// value of a key wins over the user's, either over the file's; a list is taken whole from one of them.
// Credentials never come from policy: what a policy object holds, every user of the domain can read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

namespace kestel {

enum class PolicyScope { Machine, User };

// Value types as the registry numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;

// One value of a policy key as the registry holds it: texts as UTF-16LE bytes, numbers little-endian.
struct PolicyValue {
  std::string name;  // UTF-8
  std::uint32_t type = 0;
  std::string data;
};

struct PolicyKey {
  enum class Read { Ok, Missing, Failed };
  Read read = Read::Missing;
  std::uint32_t error = 0;  // the system's code when Failed
  std::vector<PolicyValue> values;
};

// Where policy is read from: the values of Software\Policies\Kestel\<section> in the scope's hive.
class PolicyStore {
 public:
  virtual ~PolicyStore() = default;
  virtual PolicyKey ReadKey(PolicyScope scope, std::string_view section) = 0;
};

// "HKLM\Software\Policies\Kestel\connection\server", as an administrator finds it in the registry.
std::string PolicyPath(PolicyScope scope, std::string_view section, std::string_view name = {});
// "machine" or "user".
const char* ScopeName(PolicyScope scope);

// A key, or a whole list section, that policy sets.
struct PolicySetting {
  const SettingKey* key = nullptr;
  PolicyScope scope = PolicyScope::Machine;
  // A key's value as kestel.ini would hold it; a flag is "1" or "0".
  std::string value{};
  // A list's names and values, in the order Kestel uses them: programs by number, drives by name.
  std::vector<std::pair<std::string, std::string>> entries{};
  bool operator==(const PolicySetting&) const = default;
};

// A policy value that Kestel does not take, and why.
struct PolicyFinding {
  enum class Kind {
    WrongType,    // taken as not set; a list entry is left out
    Credential,   // user name and password never come from policy
    IgnoredName,  // a list entry whose name is no drive, or no number 1, 2, ...
    Unreadable,   // the key could not be read: nothing in it counts
  };
  Kind kind = Kind::WrongType;
  PolicyScope scope = PolicyScope::Machine;
  std::string section{};
  std::string name{};      // empty for the key itself
  std::uint32_t code = 0;  // the value's type, or the system's error
  bool flag = false;       // WrongType: a number was wanted
  bool listEntry = false;  // WrongType: a list entry
  bool operator==(const PolicyFinding&) const = default;
};
// One line that names the value, never the value of a credential.
std::string DescribeFinding(const PolicyFinding& finding);

struct Policy {
  std::vector<PolicySetting> settings;  // in the order of the list of settings
  std::vector<PolicyFinding> findings;
  bool operator==(const Policy&) const = default;

  // The setting of a key, or of a list section by the section's name; null when policy sets none.
  const PolicySetting* Find(std::string_view section, const char* name) const;
  const PolicySetting* Find(const SettingKey& key) const;
  // Whether kestel.ini is needed: not where policy names the server.
  bool SetsServer() const { return Find(keys::kServer) != nullptr; }
};

// The policy in force now, machine over user, for every key of the list of settings.
Policy ReadPolicy(PolicyStore& store);

// kestel.ini's reader with a policy over it, so that every reader of the settings sees what is in
// force: a key policy sets reads as policy's value, a list policy sets lists only policy's entries,
// and a write of a key policy sets never reaches the file. Refresh reads the policy again.
class PolicyProfile final : public ProfileApi {
 public:
  PolicyProfile(ProfileApi& file, PolicyStore& store) : file_(file), store_(store) {}
  const Policy& Refresh() { return policy_ = ReadPolicy(store_); }
  const Policy& InForce() const noexcept { return policy_; }

  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override;
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override;

 private:
  ProfileApi& file_;
  PolicyStore& store_;
  Policy policy_;
};

}  // namespace kestel
