// The away and local switch: which values it reads and writes, in which order, over a recording
// registry and an in-memory kestel.ini that share one log.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/Errors.h"
#include "proxy/InternetSettings.h"
#include "tests/unit/FakeConnections.h"
#include "tests/unit/FakeProfile.h"

namespace kestel {
namespace {

using testing::FakeProfile;
using Log = std::vector<std::string>;

constexpr const char* kProxyKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";

// Keys of full paths holding values; a value is a number (REG_DWORD) or a text. Reads of a value of
// the wrong kind, and names listed in refuse, fail as the real accessor does. "open KEY" marks where
// the calls turn to another key; a call on a key that is not there reads and writes nothing.
class FakeRegistry final : public RegistryAccess {
 public:
  using Value = std::variant<std::int32_t, std::string>;
  std::map<std::string, std::map<std::string, Value>> keys;
  std::vector<std::string> refuse;
  Log& log;

  explicit FakeRegistry(Log& sharedLog) : log(sharedLog) {}

  bool HasKey(const std::string& key) override { return Open(key); }
  std::int32_t ReadInteger(const std::string& key, const std::string& name) override {
    if (Open(key)) log.push_back("read " + name);
    const Value* v = Find(key, name);
    if (v == nullptr || Refused(name)) Raise(kRegistryError, "Failed to get data for '" + name + "'");
    if (!std::holds_alternative<std::int32_t>(*v)) Raise(kRegistryError, "Invalid data type for '" + name + "'");
    return std::get<std::int32_t>(*v);
  }
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& key, const std::string& name) override {
    if (keys.count(key) && Find(key, name) == nullptr) {
      Open(key);
      log.push_back("read " + name);
      return std::nullopt;
    }
    return ReadInteger(key, name);
  }
  std::string ReadString(const std::string& key, const std::string& name) override {
    if (!Open(key)) return {};
    log.push_back("read " + name);
    const Value* v = Find(key, name);
    if (v == nullptr) return {};
    if (!std::holds_alternative<std::string>(*v)) Raise(kRegistryError, "Invalid data type for '" + name + "'");
    return std::get<std::string>(*v);
  }
  void WriteInteger(const std::string& key, const std::string& name, std::int32_t value) override {
    if (Open(key)) log.push_back("write " + name + "=" + std::to_string(value));
    Store(key, name, value);
  }
  void WriteString(const std::string& key, const std::string& name, const std::string& text) override {
    if (Open(key)) log.push_back("write " + name + "=" + text);
    Store(key, name, text);
  }
  void DeleteValue(const std::string& key, const std::string& name) override {
    if (Open(key)) log.push_back("delete " + name);
    if (!keys.count(key) || Refused(name)) Raise(kRegistryError, "Failed to set data for '" + name + "'");
    keys[key].erase(name);
  }

 private:
  std::optional<std::string> last_;

  bool Open(const std::string& key) {
    if (key != last_) log.push_back("open " + key);
    last_ = key;
    return keys.count(key) != 0;
  }
  bool Refused(const std::string& name) const {
    for (const std::string& r : refuse)
      if (r == name) return true;
    return false;
  }
  const Value* Find(const std::string& key, const std::string& name) const {
    if (!keys.count(key)) return nullptr;
    const auto& values = keys.at(key);
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
  void Store(const std::string& key, const std::string& name, Value value) {
    if (!keys.count(key) || Refused(name)) Raise(kRegistryError, "Failed to set data for '" + name + "'");
    keys[key][name] = std::move(value);
  }
};

// Puts every settings-file read and write into the registry's log, so that their order can be seen.
class LoggedProfile final : public ProfileApi {
 public:
  FakeProfile file;
  Log& log;
  explicit LoggedProfile(Log& sharedLog) : log(sharedLog) {}

  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override {
    if (key != nullptr) log.push_back(std::string("ini read ") + section + "/" + key);
    return file.GetString(section, key, defaultText, buffer, size, path);
  }
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override {
    log.push_back(std::string("ini write ") + section + "/" + key + "=" + value);
    return file.WriteString(section, key, value, path);
  }
};

class InternetSwitch : public ::testing::Test {
 protected:
  Log log;
  FakeRegistry registry{log};
  LoggedProfile profile{log};
  SettingsFile settings{"C:\\kestel\\kestel.ini", profile};
  testing::FakeConnections connections{log};
  TConfig config;

  InternetSwitch() {
    registry.keys[kProxyKey] = {{"ProxyEnable", 1}, {"ProxyOverRide", "<local>"}, {"ProxyServer", "proxy:8080"}};
    registry.keys[kBrowserKey] = {{"Start Page", "http://start.example/"}};
  }

  FakeProfile& Ini() { return profile.file; }
  FakeRegistry::Value Value(const char* key, const char* name) { return registry.keys.at(key).at(name); }
  Log IniWrites() const { return Matching("ini write"); }
  Log RegistryWrites() const { return Matching("write "); }
  Log Matching(const std::string& prefix) const {
    Log out;
    for (const std::string& line : log)
      if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
  }
  template <class Step>
  std::string RaisedBy(Step step) {
    try {
      step(settings, registry, connections, config);
    } catch (const Error& e) {
      EXPECT_EQ(e.Kind(), kRegistryError);
      return e.what();
    }
    return "nothing raised";
  }
};

TEST_F(InternetSwitch, CaptureReadsTheRegistryBeforeItWritesTheFourKeysAndChangesNoValue) {
  SwitchToAwaySettings(settings, registry, connections, config);
  EXPECT_EQ(log,
            (Log{"ini read awayinternetsettings/awayhomepage", std::string("open ") + kProxyKey, "read ProxyEnable",
                 "read ProxyOverRide", "read ProxyServer", "read AutoConfigURL", std::string("open ") + kBrowserKey,
                 "read Start Page", "query LAN", "ini read localinternetsettings/localautoconfigurl",
                 "ini read localinternetsettings/localautodetect", "ini write awayinternetsettings/awayproxyenabled=1",
                 "ini write awayinternetsettings/awayproxyexceptions=<local>",
                 "ini write awayinternetsettings/awayproxyserver=proxy:8080",
                 "ini write awayinternetsettings/awayhomepage=http://start.example/"}));
  EXPECT_TRUE(config.Sets.away.enabled);
  EXPECT_EQ(config.Sets.away.homePage, "http://start.example/");
}

TEST_F(InternetSwitch, CaptureStoresOnlyAProxyEnableOfExactlyOneAsOnAndAMissingOneAsOff) {
  const struct {
    std::optional<std::int32_t> stored;
    const char* captured;
  } cases[] = {{1, "1"}, {0, "0"}, {2, "0"}, {-1, "0"}, {0x101, "0"}, {std::nullopt, "0"}};
  for (const auto& c : cases) {
    log.clear();
    Ini().entries.clear();
    if (c.stored)
      registry.keys[kProxyKey]["ProxyEnable"] = *c.stored;
    else
      registry.keys[kProxyKey].erase("ProxyEnable");
    SwitchToAwaySettings(settings, registry, connections, config);
    EXPECT_EQ(IniWrites().at(0), std::string("ini write awayinternetsettings/awayproxyenabled=") + c.captured)
        << (c.stored ? std::to_string(*c.stored) : "missing");
  }
}

TEST_F(InternetSwitch, CaptureThatFailsOnARegistryReadLeavesTheSettingsFileUntouched) {
  const struct {
    const char* name;
    FakeRegistry::Value value;
    const char* message;
  } cases[] = {
      {"ProxyEnable", std::string("1"), "Invalid data type for 'ProxyEnable'"},
      {"Start Page", 7, "Invalid data type for 'Start Page'"},
  };
  for (const auto& c : cases) {
    log.clear();
    const char* key = std::string(c.name) == "Start Page" ? kBrowserKey : kProxyKey;
    const FakeRegistry::Value saved = registry.keys[key][c.name];
    registry.keys[key][c.name] = c.value;
    EXPECT_EQ(RaisedBy(SwitchToAwaySettings), c.message);
    EXPECT_TRUE(IniWrites().empty()) << c.name;
    registry.keys[key][c.name] = saved;
  }
  registry.refuse = {"ProxyEnable"};
  log.clear();
  EXPECT_EQ(RaisedBy(SwitchToAwaySettings), "Failed to get data for 'ProxyEnable'");
  EXPECT_TRUE(IniWrites().empty());
}

TEST_F(InternetSwitch, WithoutTheStartPageKeyACaptureStoresAnEmptyStartPageAndReadsNothingFromTheProxyKey) {
  registry.keys.erase(kBrowserKey);
  SwitchToAwaySettings(settings, registry, connections, config);
  EXPECT_TRUE(Matching("read Start Page").empty());
  EXPECT_EQ(IniWrites().back(), "ini write awayinternetsettings/awayhomepage=");
  EXPECT_EQ(config.Sets.away.homePage, "");
}

TEST_F(InternetSwitch, WithoutTheProxyKeyNothingIsReadFromOrWrittenToAnotherOpenKey) {
  // An earlier call named the browser key when the proxy key goes missing.
  ASSERT_TRUE(registry.HasKey(kBrowserKey));
  registry.keys.erase(kProxyKey);
  EXPECT_EQ(RaisedBy(SwitchToAwaySettings), "Failed to get data for 'ProxyEnable'");
  EXPECT_TRUE(IniWrites().empty());

  Ini().Set("awayinternetsettings", "awayhomepage", "http://away/");
  EXPECT_EQ(RaisedBy(SwitchToAwaySettings), "Failed to set data for 'ProxyEnable'");
  EXPECT_EQ(RaisedBy(SwitchToLocalSettings), "Failed to set data for 'ProxyEnable'");
  EXPECT_TRUE(RegistryWrites().empty());
  EXPECT_EQ(registry.keys.at(kBrowserKey).size(), 1u);
}

TEST_F(InternetSwitch, OnlyAMissingOrExactMarkerStartPageMeansCapture) {
  const struct {
    std::optional<const char*> stored;
    bool captures;
  } cases[] = {{std::nullopt, true}, {"NOAWAYHOMEPAGE", true}, {"noawayhomepage", false}, {"NOAWAYHOMEPAGE ", false},
               {"", false},          {"http://away/", false}};
  for (const auto& c : cases) {
    log.clear();
    Ini().entries.clear();
    Ini().Set("awayinternetsettings", "awayproxyenabled", "0");
    if (c.stored) Ini().Set("awayinternetsettings", "awayhomepage", *c.stored);
    SwitchToAwaySettings(settings, registry, connections, config);
    const std::string label = c.stored ? std::string("'") + *c.stored + "'" : "missing";
    EXPECT_EQ(IniWrites().size(), c.captures ? 4u : 0u) << label;
    EXPECT_EQ(RegistryWrites().size(), c.captures ? 0u : 4u) << label;
  }
}

TEST_F(InternetSwitch, ApplyReadsTheAwaySectionThenSetsTheLanBeforeTheProxyValuesAndTheStartPage) {
  Ini()
      .Set("awayinternetsettings", "awayproxyenabled", "1")
      .Set("awayinternetsettings", "awayproxyserver", "away:3128")
      .Set("awayinternetsettings", "awayproxyexceptions", "*.away")
      .Set("awayinternetsettings", "awayhomepage", "");
  SwitchToAwaySettings(settings, registry, connections, config);
  EXPECT_EQ(log, (Log{"ini read awayinternetsettings/awayhomepage", "ini read awayinternetsettings/awayproxyenabled",
                      "ini read awayinternetsettings/awayproxyserver",
                      "ini read awayinternetsettings/awayproxyexceptions", "ini read awayinternetsettings/awayhomepage",
                      "ini read awayinternetsettings/awayautoconfigurl", "ini read awayinternetsettings/awayautodetect",
                      "ini read SCRIPTS/allconnections", "query LAN", "set LAN flags=3 server=away:3128 bypass=*.away",
                      std::string("open ") + kProxyKey, "write ProxyEnable=1", "write ProxyOverRide=*.away",
                      "write ProxyServer=away:3128", std::string("open ") + kBrowserKey, "write Start Page="}));
  EXPECT_EQ(Value(kBrowserKey, "Start Page"), FakeRegistry::Value(std::string()));
}

TEST_F(InternetSwitch, LocalStepWithoutItsSectionTurnsTheProxyOffAndEmptiesTheTexts) {
  SwitchToLocalSettings(settings, registry, connections, config);
  EXPECT_EQ(Matching("ini read"),
            (Log{"ini read localinternetsettings/localproxyenabled", "ini read localinternetsettings/localproxyserver",
                 "ini read localinternetsettings/localproxyexceptions", "ini read localinternetsettings/localhomepage",
                 "ini read localinternetsettings/localautoconfigurl", "ini read localinternetsettings/localautodetect",
                 "ini read SCRIPTS/allconnections"}));
  EXPECT_EQ(Matching("open"), (Log{std::string("open ") + kProxyKey, std::string("open ") + kBrowserKey}));
  EXPECT_EQ(RegistryWrites(),
            (Log{"write ProxyEnable=0", "write ProxyOverRide=", "write ProxyServer=", "write Start Page="}));
  EXPECT_TRUE(IniWrites().empty());
}

TEST_F(InternetSwitch, LocalStepWritesItsSetAsStoredAfterAnAwayApply) {
  Ini()
      .Set("awayinternetsettings", "awayhomepage", "http://away/")
      .Set("localinternetsettings", "localproxyenabled", "1")
      .Set("localinternetsettings", "localproxyserver", "home:80")
      .Set("localinternetsettings", "localproxyexceptions", "%USERNAME%;<local>")
      .Set("localinternetsettings", "localhomepage", "http://intranet/");
  SwitchToAwaySettings(settings, registry, connections, config);
  SwitchToLocalSettings(settings, registry, connections, config);
  EXPECT_EQ(RegistryWrites(),
            (Log{"write ProxyEnable=0", "write ProxyOverRide=", "write ProxyServer=", "write Start Page=http://away/",
                 "write ProxyEnable=1", "write ProxyOverRide=%USERNAME%;<local>", "write ProxyServer=home:80",
                 "write Start Page=http://intranet/"}));
  EXPECT_TRUE(config.Sets.local.enabled);
  EXPECT_EQ(config.Sets.local.homePage, "http://intranet/");
}

TEST_F(InternetSwitch, WithoutTheStartPageKeyOnlyTheProxyValuesAreWritten) {
  registry.keys.erase(kBrowserKey);
  Ini().Set("awayinternetsettings", "awayhomepage", "http://away/");
  SwitchToAwaySettings(settings, registry, connections, config);
  SwitchToLocalSettings(settings, registry, connections, config);
  EXPECT_EQ(RegistryWrites(), (Log{"write ProxyEnable=0", "write ProxyOverRide=", "write ProxyServer=",
                                   "write ProxyEnable=0", "write ProxyOverRide=", "write ProxyServer="}));
  EXPECT_EQ(registry.keys.at(kProxyKey).count("Start Page"), 0u);
}

TEST_F(InternetSwitch, ARefusedStartPageLeavesTheNewProxyValuesInForce) {
  registry.refuse = {"Start Page"};
  Ini().Set("awayinternetsettings", "awayhomepage", "http://away/");
  EXPECT_EQ(RaisedBy(SwitchToAwaySettings), "Failed to set data for 'Start Page'");
  EXPECT_EQ(Value(kProxyKey, "ProxyEnable"), FakeRegistry::Value(0));
  EXPECT_EQ(Value(kBrowserKey, "Start Page"), FakeRegistry::Value(std::string("http://start.example/")));
}

TEST_F(InternetSwitch, ARefusedSettingsFileWriteStopsTheCaptureAtItsFirstKey) {
  Ini().refuseWrites = true;
  try {
    SwitchToAwaySettings(settings, registry, connections, config);
    FAIL() << "nothing raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Kind(), kSettingsWriteError);
    EXPECT_STREQ(e.what(), "Unable to write to C:\\kestel\\kestel.ini");
  }
  EXPECT_EQ(IniWrites().size(), 1u);
  EXPECT_TRUE(RegistryWrites().empty());
}

// The script and auto-detect keys of each set, in the registry and on the LAN connection, which had
// both on and the script below.
TEST_F(InternetSwitch, EachSetLeavesClearsOrNamesTheScriptAndAutoDetectAsItsKeysSay) {
  const struct {
    bool local;
    std::optional<const char*> script, autoDetect;
    std::optional<std::string> autoConfigUrl, given, refused;  // the registry value after; the URL the LAN got
    std::uint32_t flags;
  } rows[] = {
      {false, {}, {}, "http://old/pac", {}, {}, 15},
      {true, "", "0", {}, {}, {}, 3},
      {false, "https://pac/p", "1", "https://pac/p", "https://pac/p", {}, 15},
      {true, "HTTP://PAC/x", {}, "HTTP://PAC/x", "HTTP://PAC/x", {}, 15},
      {false, "file://c:/p.pac", "yes", "http://old/pac", {}, "file://c:/p.pac", 15},
      {true, "http://", "0", "http://old/pac", {}, "http://", 7},
  };
  for (const auto& row : rows) {
    Ini().entries.clear();
    registry.keys[kProxyKey]["AutoConfigURL"] = std::string("http://old/pac");
    connections.flags[""] = kProxyTypeDirect | kProxyTypeScript | kProxyTypeAutoDetect;
    const std::string set = row.local ? "local" : "away", label = set + " " + row.script.value_or("-");
    Ini().Set("awayinternetsettings", "awayhomepage", "").Set(set + "internetsettings", set + "proxyenabled", "1");
    if (row.script) Ini().Set(set + "internetsettings", set + "autoconfigurl", *row.script);
    if (row.autoDetect) Ini().Set(set + "internetsettings", set + "autodetect", *row.autoDetect);
    const InternetSetOutcome outcome = row.local ? SwitchToLocalSettings(settings, registry, connections, config)
                                                 : SwitchToAwaySettings(settings, registry, connections, config);
    const auto& values = registry.keys.at(kProxyKey);
    EXPECT_EQ(
        values.count("AutoConfigURL") ? std::optional(std::get<std::string>(values.at("AutoConfigURL"))) : std::nullopt,
        row.autoConfigUrl)
        << label;
    EXPECT_EQ(values.at("ProxyEnable"), FakeRegistry::Value(1)) << label;
    EXPECT_EQ(connections.given.at("").flags, row.flags) << label;
    EXPECT_EQ(connections.given.at("").scriptUrl, row.given) << label;
    EXPECT_EQ(outcome.refusedScript, row.refused) << label;
  }
}

// With allconnections=1 each phonebook entry gets what the LAN connection gets; whatever refuses, the
// others and the registry values still follow.
TEST_F(InternetSwitch, EveryPhonebookEntryGetsTheLansOptionsAndNoRefusalStopsTheOthers) {
  const struct {
    const char* allConnections;
    std::function<void(testing::FakeConnections&)> refuse;
    Log outcomes;
  } rows[] = {
      {"1", [](auto& c) { c.refuseSet = {"DSL"}; }, {"", "VPN", "DSL InternetSetOptionA", "Dial-up"}},
      {"1", [](auto& c) { c.refuseQuery = {""}; }, {" InternetQueryOptionA", "VPN", "DSL", "Dial-up"}},
      {"1", [](auto& c) { c.refuseList = true; }, {"", "phonebook RasEnumEntriesA"}},
      {"yes", [](auto&) {}, {""}},
  };
  for (const auto& row : rows) {
    log.clear();
    testing::FakeConnections fake(log);
    fake.entries = {"VPN", "DSL", "Dial-up"};
    for (const char* c : {"", "VPN", "DSL", "Dial-up"}) fake.flags[c] = kProxyTypeDirect | kProxyTypeAutoDetect;
    row.refuse(fake);
    Ini().entries.clear();
    Ini()
        .Set("SCRIPTS", "allconnections", row.allConnections)
        .Set("localinternetsettings", "localproxyenabled", "1")
        .Set("localinternetsettings", "localproxyserver", "home:80")
        .Set("localinternetsettings", "localautoconfigurl", "http://pac/");
    Log outcomes;
    for (const ConnectionOutcome& o : SwitchToLocalSettings(settings, registry, fake, config).connections)
      outcomes.push_back((o.of == ConnectionOutcome::Of::Phonebook ? "phonebook" : o.entry) +
                         (o.call.Failed() ? " " + o.call.call : ""));
    EXPECT_EQ(outcomes, row.outcomes);
    const ConnectionProxy lan{15, "home:80", "", "http://pac/"};
    for (const auto& [connection, given] : fake.given) EXPECT_EQ(given, lan) << connection;
    EXPECT_EQ(RegistryWrites(), (Log{"write ProxyEnable=1", "write ProxyOverRide=", "write ProxyServer=home:80",
                                     "write AutoConfigURL=http://pac/", "write Start Page="}));
  }
}

// A capture stores the script and auto-detect only when the user has them on, or when the local set
// would change them: then the away set has to put back "none" too.
TEST_F(InternetSwitch, CaptureStoresTheScriptAndAutoDetectBeforeTheStartPageWhenTheyMatter) {
  const struct {
    const char* script;
    std::uint32_t flags;
    bool localKeys, queryRefused;
    Log extra;  // the writes between awayproxyserver and awayhomepage
  } rows[] = {
      {"http://corp/pac", 13, false, false, {"awayautoconfigurl=http://corp/pac", "awayautodetect=1"}},
      {"", 1, true, false, {"awayautoconfigurl=", "awayautodetect=0"}},
      {"", 1, true, true, {"awayautoconfigurl="}},
  };
  for (const auto& row : rows) {
    log.clear();
    Ini().entries.clear();
    registry.keys[kProxyKey]["AutoConfigURL"] = std::string(row.script);
    connections.flags[""] = row.flags;
    if (row.queryRefused) connections.refuseQuery = {""};
    if (row.localKeys)
      Ini()
          .Set("localinternetsettings", "localautoconfigurl", "http://x/")
          .Set("localinternetsettings", "localautodetect", "1");
    const InternetSetOutcome outcome = SwitchToAwaySettings(settings, registry, connections, config);
    Log extra;
    for (const std::string& write : IniWrites()) extra.push_back(write.substr(write.find('/') + 1));
    ASSERT_EQ(extra.size(), 4 + row.extra.size()) << row.script;
    EXPECT_EQ(Log(extra.begin() + 3, extra.end() - 1), row.extra) << row.script;
    EXPECT_EQ(extra.back(), "awayhomepage=http://start.example/");
    EXPECT_EQ(outcome.connections.size(), row.queryRefused ? 1u : 0u);
    EXPECT_TRUE(connections.given.empty());
  }
}

}  // namespace
}  // namespace kestel
