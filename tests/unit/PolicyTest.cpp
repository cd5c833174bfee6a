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

using namespace std::string_view_literals;
using testing::FakePolicyStore;
using testing::FakeProfile;
constexpr PolicyScope kMachine = PolicyScope::Machine;
constexpr PolicyScope kUser = PolicyScope::User;

struct Read {
  const char* section;
  const char* key;                   // null: the section's lines, "name=value|..."
  std::optional<std::string> value;  // nullopt: no such key anywhere
};

struct Row {
  const char* name;
  std::function<void(FakePolicyStore&, FakeProfile&)> setUp;
  std::vector<Read> reads;
  std::vector<std::string> findings;  // as the record and the checker tell them
  friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

std::string Utf16Bytes(std::u16string_view units) {
  std::string bytes;
  for (const char16_t unit : units) bytes.append({static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
  return bytes;
}

const Row kRows[] = {
    {"MachineOverUserOverFilePerKey",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "connection", "server", "machine-srv").Text(kUser, "Connection", "SERVER", "user-srv");
       p.Number(kUser, "SCRIPTS", "follow", 7).Text(kUser, "SCRIPTS", "logfile", "%APPDATA%\\k.log", kRegExpandSz);
       f.Set("connection", "server", "file-srv").Set("SCRIPTS", "follow", "0").Set("SCRIPTS", "HideScripts", "0");
     },
     {{"connection", "server", "machine-srv"},
      {"SCRIPTS", "follow", "1"},
      {"SCRIPTS", "HideScripts", "0"},
      {"SCRIPTS", "logfile", "%APPDATA%\\k.log"},
      {"SCRIPTS", "eventlog", std::nullopt}},
     {}},
    {"AListIsTakenWholeFromOneSourceInItsOrder",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "mappings", "S:", "\\\\m\\s").Text(kMachine, "mappings", "h:", "\\\\m\\h");
       p.Text(kUser, "mappings", "X:", "\\\\u\\x");
       p.Text(kUser, "localpostscripts", "10", "ten").Text(kUser, "localpostscripts", "2", "two");
       p.Text(kUser, "localpostscripts", "1", "one");
       f.Set("mappings", "Y:", "\\\\f\\y").Set("localpostscripts", "1", "file").Set("awaypostscripts", "a", "away");
     },
     {{"mappings", nullptr, "h:=\\\\m\\h|S:=\\\\m\\s"},
      {"mappings", "Y:", std::nullopt},
      {"localpostscripts", nullptr, "1=one|2=two|10=ten"},
      {"awaypostscripts", nullptr, "a=away"}},
     {}},
    {"AWrongTypeLeavesTheValueToTheNextSourceAndAListEntryOut",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Number(kMachine, "connection", "server", 1).Text(kUser, "connection", "server", "user-srv");
       p.Text(kMachine, "SCRIPTS", "follow", "1").Raw(kUser, "SCRIPTS", "eventlog", 11, std::string(8, '\1'));
       p.Number(kMachine, "mappings", "H:", 5).Text(kMachine, "mappings", "S:", "\\\\m\\s");
       p.Text(kMachine, "awaypostscripts", "first", "x").Text(kMachine, "awaypostscripts", "01", "y");
       f.Set("SCRIPTS", "follow", "0");
     },
     {{"connection", "server", "user-srv"},
      {"SCRIPTS", "follow", "0"},
      {"SCRIPTS", "eventlog", std::nullopt},
      {"mappings", nullptr, "S:=\\\\m\\s"},
      {"awaypostscripts", nullptr, ""}},
     {"HKCU\\Software\\Policies\\Kestel\\SCRIPTS\\eventlog is REG_QWORD, not REG_DWORD: Kestel takes it as not set",
      "HKLM\\Software\\Policies\\Kestel\\SCRIPTS\\follow is REG_SZ, not REG_DWORD: Kestel takes it as not set",
      "HKLM\\Software\\Policies\\Kestel\\connection\\server is REG_DWORD, not REG_SZ or REG_EXPAND_SZ: Kestel takes it "
      "as not set",
      "HKLM\\Software\\Policies\\Kestel\\mappings\\H: is REG_DWORD, not REG_SZ or REG_EXPAND_SZ: Kestel leaves this "
      "entry out of the list",
      "HKLM\\Software\\Policies\\Kestel\\awaypostscripts\\first is not named 1, 2, 3, ...: Kestel leaves it out of the "
      "list",
      "HKLM\\Software\\Policies\\Kestel\\awaypostscripts\\01 is not named 1, 2, 3, ...: Kestel leaves it out of the "
      "list"}},
    {"CredentialsNeverComeFromPolicy",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Text(kMachine, "user", "password", "policy-secret").Text(kUser, "user", "UserName", "policy-user");
       p.Number(kMachine, "user", "protectpassword", 1);
       f.Set("user", "username", "alice").Set("user", "password", "file-secret");
     },
     {{"user", "username", "alice"}, {"user", "password", "file-secret"}, {"user", "protectpassword", "1"}},
     {"HKCU\\Software\\Policies\\Kestel\\user\\UserName is ignored: user name and password never come from policy, "
      "which every user of the domain can read; they stay in kestel.ini",
      "HKLM\\Software\\Policies\\Kestel\\user\\password is ignored: user name and password never come from policy, "
      "which every user of the domain can read; they stay in kestel.ini"}},
    // Disabled writes 0 for a flag, and deletes a text's value or a list's entries, which leaves an empty key.
    {"DisabledFlagsOverrideTheFileAndEmptyKeysAndMarkersSetNothing",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Number(kMachine, "SCRIPTS", "HideScripts", 0).Number(kUser, "SCRIPTS", "HideScripts", 1);
       p.Text(kMachine, "connection", "server", "NOSERVER").Text(kUser, "connection", "server", "");
       p.KeyOf(kMachine, "mappings");
       p.Text(kMachine, "localinternetsettings", "localproxyserver", "");
       p.Raw(kMachine, "localinternetsettings", "localhomepage", kRegSz, Utf16Bytes(u"http://in\u00E9/") + "\x01");
       p.Raw(kUser, "awayinternetsettings", "awayhomepage", kRegSz, Utf16Bytes(u"about:blank\0junk"sv));
       f.Set("SCRIPTS", "HideScripts", "1").Set("mappings", "H:", "\\\\f\\h");
       f.Set("localinternetsettings", "localproxyserver", "p:8080");
     },
     {{"SCRIPTS", "HideScripts", "0"},
      {"connection", "server", ""},
      {"mappings", nullptr, "H:=\\\\f\\h"},
      {"localinternetsettings", "localproxyserver", ""},
      {"localinternetsettings", "localhomepage", "http://in\xC3\xA9/"},
      {"awayinternetsettings", "awayhomepage", "about:blank"}},
     {}},
    {"AnUnreadableKeySetsNothing",
     [](FakePolicyStore& p, FakeProfile& f) {
       p.Fail(kMachine, "connection", 5).Text(kUser, "connection", "server", "user-srv");
       f.Set("connection", "server", "file-srv");
     },
     {{"connection", "server", "user-srv"}},
     {"HKLM\\Software\\Policies\\Kestel\\connection cannot be read (error 5): nothing in it counts"}},
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
  for (const Read& read : row.reads) {
    std::optional<std::string> got;
    if (read.key == nullptr) {
      TStringList lines;
      settings.ReadSectionLines(read.section, lines);
      got.emplace();
      for (const std::string& line : lines) *got += (got->empty() ? "" : "|") + line;
    } else {
      got = settings.ReadSettingIfPresent({.section = read.section, .name = read.key});
    }
    EXPECT_EQ(got, read.value) << read.section << "/" << (read.key ? read.key : "");
  }
  std::vector<std::string> findings;
  for (const PolicyFinding& finding : policy.findings) findings.push_back(DescribeFinding(finding));
  EXPECT_EQ(findings, row.findings);
  for (const std::string& finding : findings) EXPECT_EQ(finding.find("secret"), std::string::npos) << finding;
}

INSTANTIATE_TEST_SUITE_P(Policy, PolicyOverFile, ::testing::ValuesIn(kRows),
                         [](const auto& tested) { return std::string(tested.param.name); });

// The file keeps its own line of a key policy sets, and counts again once the policy goes.
TEST(PolicyOverFile, AKeyPolicySetsIsNeverWrittenToTheFile) {
  FakePolicyStore store;
  store.Text(kUser, "awayinternetsettings", "awayproxyserver", "pol:3128").Text(kMachine, "mappings", "H:", "\\\\h");
  FakeProfile file;
  PolicyProfile profile(file, store);
  profile.Refresh();
  SettingsFile settings("kestel.ini", profile);
  settings.WriteSettingText(keys::kAway.server, "captured:80");
  settings.WriteSettingText("mappings", "H:", "\\\\x");
  settings.WriteSettingText(keys::kAway.homePage, "about:blank");
  settings.WriteSettingText(keys::kUserName, "alice");
  EXPECT_EQ(file.writes,
            (std::vector<std::string>{"awayinternetsettings/awayhomepage=about:blank", "user/username=alice"}));
  EXPECT_EQ(settings.ReadSettingText(keys::kAway.server), "pol:3128");
}

}  // namespace
}  // namespace kestel
