// Policy over kestel.ini, as every reader of the settings sees it: machine over user over the file, per
// key and per whole list, and the policy values Kestel leaves aside.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/Policy.h"
#include "tests/unit/FakeProfile.h"

namespace kestel {
namespace {

using testing::FakePolicyStore;
using testing::FakeProfile;
constexpr PolicyScope kMachine = PolicyScope::Machine;
constexpr PolicyScope kUser = PolicyScope::User;

struct Row {
  const char* name;
  std::function<void(FakePolicyStore&, FakeProfile&)> setUp;
  // Every key a reader finds, "section/key=value", and every list's lines, "[section]=name=value|...", in the
  // order of the list of settings.
  std::vector<std::string> found;
  std::vector<std::string> findings;  // as the record and the checker tell them; "M " and "U " for the policy keys
  friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

constexpr const char* kIgnored =
    " is ignored: user name and password never come from policy, which every user of the domain can read; they "
    "stay in kestel.ini";

const Row kRows[] = {
    {"MachineOverUserOverFilePerKey",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "connection", "server", "machine-srv").Text(kUser, "connection", "SERVER", "user-srv");
       p.Number(kUser, "SCRIPTS", "follow", 7).Text(kUser, "SCRIPTS", "logfile", "%APPDATA%\\k.log", kRegExpandSz);
       f.Set("connection", "server", "file-srv").Set("SCRIPTS", "follow", "0").Set("SCRIPTS", "HideScripts", "0");
     },
     {"SCRIPTS/HideScripts=0", "SCRIPTS/logfile=%APPDATA%\\k.log", "SCRIPTS/follow=1", "connection/server=machine-srv"},
     {}},
    // A key that cannot be read sets nothing: the next source decides.
    {"AListIsTakenWholeFromOneReadableSourceInItsOrder",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "mappings", "S:", "\\\\m\\s").Text(kMachine, "mappings", "h:", "\\\\m\\h");
       p.Text(kUser, "mappings", "X:", "\\\\u\\x");
       p.Text(kUser, "localpostscripts", "10", "ten").Text(kUser, "localpostscripts", "2", "two");
       p.Text(kUser, "localpostscripts", "1", "one");
       p.KeyOf(kMachine, "localpostscripts") = {PolicyKey::Read::Failed, 5, {}};
       f.Set("mappings", "Y:", "\\\\f\\y").Set("localpostscripts", "1", "file").Set("awaypostscripts", "a", "away");
     },
     {"[mappings]=h:=\\\\m\\h|S:=\\\\m\\s", "[localpostscripts]=1=one|2=two|10=ten", "[awaypostscripts]=a=away"},
     {"M localpostscripts cannot be read (error 5): nothing in it counts"}},
    {"AWrongTypeLeavesTheValueToTheNextSourceAndAListEntryOut",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Number(kMachine, "connection", "server", 1).Text(kUser, "connection", "server", "user-srv");
       p.Text(kMachine, "SCRIPTS", "follow", "1").Raw(kUser, "SCRIPTS", "eventlog", 11, std::string(8, '\1'));
       p.Number(kMachine, "mappings", "H:", 5).Text(kMachine, "mappings", "S:", "\\\\m\\s");
       p.Text(kMachine, "awaypostscripts", "first", "x").Text(kMachine, "awaypostscripts", "01", "y");
       f.Set("SCRIPTS", "follow", "0").Set("awaypostscripts", "1", "file");
     },
     {"SCRIPTS/follow=0", "connection/server=user-srv", "[mappings]=S:=\\\\m\\s"},
     {"U SCRIPTS\\eventlog is REG_QWORD, not REG_DWORD: Kestel takes it as not set",
      "M SCRIPTS\\follow is REG_SZ, not REG_DWORD: Kestel takes it as not set",
      "M connection\\server is REG_DWORD, not REG_SZ or REG_EXPAND_SZ: Kestel takes it as not set",
      "M mappings\\H: is REG_DWORD, not REG_SZ or REG_EXPAND_SZ: Kestel leaves this entry out of the list",
      "M awaypostscripts\\first is not named 1, 2, 3, ...: Kestel leaves it out of the list",
      "M awaypostscripts\\01 is not named 1, 2, 3, ...: Kestel leaves it out of the list"}},
    {"CredentialsNeverComeFromPolicy",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "user", "password", "policy-secret").Text(kUser, "user", "UserName", "policy-user");
       p.Number(kMachine, "user", "protectpassword", 1);
       f.Set("user", "username", "alice").Set("user", "password", "file-secret");
     },
     {"user/username=alice", "user/password=file-secret", "user/protectpassword=1"},
     {std::string("U user\\UserName") + kIgnored, std::string("M user\\password") + kIgnored}},
    // Disabled writes 0 for a flag, and deletes a text's value or a list's entries, which leaves an empty key.
    {"DisabledFlagsOverrideTheFileAndEmptyKeysAndMarkersSetNothing",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Number(kMachine, "SCRIPTS", "HideScripts", 0).Number(kUser, "SCRIPTS", "HideScripts", 1);
       p.Text(kMachine, "connection", "server", "NOSERVER").Text(kUser, "connection", "server", "");
       p.KeyOf(kMachine, "mappings");
       p.Raw(kMachine, "localinternetsettings", "localhomepage", kRegSz,
             FakePolicyStore::Utf16("http://in\xC3\xA9/") + "\x01");
       p.Raw(kUser, "awayinternetsettings", "awayhomepage", kRegSz, FakePolicyStore::Utf16({"about:blank\0junk", 16}));
       f.Set("SCRIPTS", "HideScripts", "1").Set("mappings", "H:", "\\\\f\\h");
     },
     {"SCRIPTS/HideScripts=0", "connection/server=", "[mappings]=H:=\\\\f\\h",
      "awayinternetsettings/awayhomepage=about:blank", "localinternetsettings/localhomepage=http://in\xC3\xA9/"},
     {}},
};

class PolicyOverFile : public ::testing::TestWithParam<Row> {};

TEST_P(PolicyOverFile, EveryReaderSeesWhatIsInForce) {
  const Row& row = GetParam();
  FakePolicyStore store;
  FakeProfile file;
  row.setUp(store, file);
  PolicyProfile profile(file, store);
  const Policy& policy = profile.Refresh();
  SettingsFile settings("kestel.ini", profile);
  std::vector<std::string> found;
  for (const SettingKey* key : kSettingKeys) {
    if (key->kind != SettingKind::List) {
      if (const auto value = settings.ReadSettingIfPresent(*key))
        found.push_back(std::string(key->section) + "/" + std::string(key->name) + "=" + *value);
      continue;
    }
    TStringList lines;
    settings.ReadSectionLines(*key, lines);
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : "|") + line;
    if (!lines.empty()) found.push_back("[" + std::string(key->section) + "]=" + joined);
  }
  EXPECT_EQ(found, row.found);
  std::vector<std::string> findings;
  for (const std::string& finding : row.findings)
    findings.push_back((finding[0] == 'M' ? "HKLM" : "HKCU") + ("\\Software\\Policies\\Kestel\\" + finding.substr(2)));
  std::vector<std::string> told;
  for (const PolicyFinding& finding : policy.findings) told.push_back(DescribeFinding(finding));
  EXPECT_EQ(told, findings);
}

INSTANTIATE_TEST_SUITE_P(Policy, PolicyOverFile, ::testing::ValuesIn(kRows),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace kestel
