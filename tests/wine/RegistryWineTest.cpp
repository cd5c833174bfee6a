// The registry accessor and the switch against the real registry of the test prefix: the accessor
// under a key of this process's own, the switch on the user's real proxy and start page values,
// which every test puts back as it found them.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "base/Utf.h"
#include "proxy/InternetSettings.h"
#include "proxy/RegistryWin32.h"
#include "settings/SettingsWin32.h"
#include "tests/wine/UserProfileValues.h"

namespace kestel {
namespace {

using namespace kestel::testing;

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The message of the registry error that action raises, or "" when it raises none.
std::string RegistryFailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    EXPECT_EQ(e.Kind(), kRegistryError);
    return e.what();
  }
  return "";
}

// --- The accessor, under HKCU\Software\KestelRegistryTest-<pid> ------------------------------------

class Win32RegistryTest : public ::testing::Test {
 protected:
  const std::string base = "Software\\KestelRegistryTest-" + std::to_string(GetCurrentProcessId());
  TestKey first = CreateKey(base + "\\first");
  TestKey second = CreateKey(base + "\\first\\second");
  Win32Registry registry;

  Win32RegistryTest() {
    PutRaw(first.get(), "where", Sz("first"));
    PutRaw(second.get(), "where", Sz("second"));
  }
  ~Win32RegistryTest() override {
    first.reset();
    second.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
  }
  std::string Path(const std::string& below) const { return base + below; }
};

TEST_F(Win32RegistryTest, EachCallReadsTheKeyItNamesWhateverTheCallBeforeNamed) {
  EXPECT_EQ(registry.ReadString(Path("\\first"), "where"), "first");
  EXPECT_EQ(registry.ReadString(Path("\\first\\second"), "where"), "second");
  EXPECT_EQ(registry.ReadString(Path("\\missing"), "where"), "");
  EXPECT_FALSE(KeyExists(base + "\\missing"));
  EXPECT_EQ(registry.ReadString(Path("\\first"), "where"), "first");
  EXPECT_TRUE(registry.HasKey(Path("\\first\\second")));
  EXPECT_FALSE(registry.HasKey(Path("\\missing")));
}

TEST_F(Win32RegistryTest, NeverCreatesAMissingKey) {
  EXPECT_EQ(RegistryFailureOf([&] { registry.WriteString(Path("\\made"), "where", "made"); }),
            "Failed to set data for 'where'");
  EXPECT_FALSE(KeyExists(base + "\\made"));
  EXPECT_FALSE(registry.HasKey(Path("\\made")));
}

TEST_F(Win32RegistryTest, ReadsWhatIsStored) {
  const struct {
    const char* label;
    RawValue stored;
    std::string text;
  } strings[] = {
      {"plain", Sz("http://start/"), "http://start/"},
      {"expandable, unexpanded", {REG_EXPAND_SZ, BytesOf("%SystemRoot%\\x")}, "%SystemRoot%\\x"},
      {"empty", Sz(""), ""},
      {"no data at all", {REG_SZ, {}}, ""},
      {"no zero byte", {REG_SZ, BytesOf("abc", false)}, "abc"},
      {"stops at the first zero", {REG_SZ, Bytes("ab\0cd\0", 6)}, "ab"},
  };
  for (const auto& c : strings) {
    PutRaw(first.get(), "v", c.stored);
    EXPECT_EQ(registry.ReadString(Path("\\first"), "v"), c.text) << c.label;
  }
  EXPECT_EQ(registry.ReadString(Path("\\first"), "absent"), "");

  const struct {
    Bytes stored;
    std::int32_t value;
  } integers[] = {{BytesOf(1u), 1}, {BytesOf(0u), 0}, {BytesOf(0xFFFFFFFEu), -2}, {Bytes(1, '\7'), 7}};
  for (const auto& c : integers) {
    PutRaw(first.get(), "n", RawValue{REG_DWORD, c.stored});
    EXPECT_EQ(registry.ReadInteger(Path("\\first"), "n"), c.value);
    EXPECT_EQ(registry.ReadIntegerIfPresent(Path("\\first"), "n"), c.value);
  }
  EXPECT_EQ(registry.ReadIntegerIfPresent(Path("\\first"), "absent"), std::nullopt);
}

TEST_F(Win32RegistryTest, FailsWithTheNameOfTheValue) {
  using Read = std::function<void(Win32Registry&, const std::string&)>;
  const struct {
    const char* label;
    std::optional<RawValue> stored;
    Read read;
    const char* message;
  } cases[] = {
      {"missing integer", std::nullopt, [](auto& r, auto& k) { r.ReadInteger(k, "v"); }, "Failed to get data for 'v'"},
      {"text as integer", Sz("1"), [](auto& r, auto& k) { r.ReadInteger(k, "v"); }, "Invalid data type for 'v'"},
      {"long text as integer", Sz("http://start/"), [](auto& r, auto& k) { r.ReadInteger(k, "v"); },
       "Failed to get data for 'v'"},
      {"8 bytes as integer", RawValue{REG_QWORD, Bytes(8, '\1')}, [](auto& r, auto& k) { r.ReadInteger(k, "v"); },
       "Failed to get data for 'v'"},
      {"present text, if present", Sz("1"), [](auto& r, auto& k) { r.ReadIntegerIfPresent(k, "v"); },
       "Invalid data type for 'v'"},
      {"present 8 bytes, if present", RawValue{REG_BINARY, Bytes(8, '\0')},
       [](auto& r, auto& k) { r.ReadIntegerIfPresent(k, "v"); }, "Failed to get data for 'v'"},
      {"integer as text", RawValue{REG_DWORD, BytesOf(1u)}, [](auto& r, auto& k) { r.ReadString(k, "v"); },
       "Invalid data type for 'v'"},
      {"binary as text", RawValue{REG_BINARY, Bytes("a\0", 2)}, [](auto& r, auto& k) { r.ReadString(k, "v"); },
       "Invalid data type for 'v'"},
  };
  for (const auto& c : cases) {
    RegDeleteValueA(first.get(), "v");
    if (c.stored) PutRaw(first.get(), "v", *c.stored);
    EXPECT_EQ(RegistryFailureOf([&] { c.read(registry, Path("\\first")); }), c.message) << c.label;
  }
}

TEST_F(Win32RegistryTest, FailsEveryIntegerReadAndEveryWriteOfAKeyThatCannotBeOpened) {
  const std::string missing = Path("\\missing");
  EXPECT_EQ(RegistryFailureOf([&] { registry.ReadInteger(missing, "ProxyEnable"); }),
            "Failed to get data for 'ProxyEnable'");
  EXPECT_EQ(RegistryFailureOf([&] { registry.ReadIntegerIfPresent(missing, "ProxyEnable"); }),
            "Failed to get data for 'ProxyEnable'");
  EXPECT_EQ(RegistryFailureOf([&] { registry.WriteInteger(missing, "ProxyEnable", 1); }),
            "Failed to set data for 'ProxyEnable'");
  EXPECT_EQ(RegistryFailureOf([&] { registry.WriteString(missing, "Start Page", "x"); }),
            "Failed to set data for 'Start Page'");
  EXPECT_EQ(RegistryFailureOf([&] { registry.DeleteValue(missing, "AutoConfigURL"); }),
            "Failed to set data for 'AutoConfigURL'");
}

TEST_F(Win32RegistryTest, WritesDwordsAndTextsWithTheirTerminatingZero) {
  const std::string key = Path("\\first");
  registry.WriteInteger(key, "n", -1);
  registry.WriteString(key, "t", "proxy:8080");
  registry.WriteString(key, "e", "");
  PutRaw(first.get(), "x", RawValue{REG_EXPAND_SZ, BytesOf("%TEMP%")});
  registry.WriteString(key, "x", "plain");
  EXPECT_EQ(GetRaw(first.get(), "n"), (RawValue{REG_DWORD, BytesOf(0xFFFFFFFFu)}));
  EXPECT_EQ(GetRaw(first.get(), "t"), (Sz("proxy:8080")));
  EXPECT_EQ(GetRaw(first.get(), "e"), (RawValue{REG_SZ, Bytes(1, '\0')}));
  EXPECT_EQ(GetRaw(first.get(), "x"), (Sz("plain")));
}

// The stored UTF-16 of a value, as the W functions see it.
std::wstring StoredText(HKEY key, const char* name) {
  wchar_t data[64] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  EXPECT_EQ(RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  return data;
}

// UTF-8 through the accessor: the registry gets the letters the A functions gave it from the Western code
// page, where the suite runs, and those outside any code page too.
TEST_F(Win32RegistryTest, TakesAndGivesUtf8) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
  const std::string key = Path("\\first");
  PutRaw(first.get(), "a", Sz("caf\xE9 \x80"));
  const std::wstring asTheAFunctionStores = StoredText(first.get(), "a");
  EXPECT_EQ(asTheAFunctionStores, L"caf\u00E9 \u20AC");

  registry.WriteString(key, "u", "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(StoredText(first.get(), "u"), asTheAFunctionStores);
  EXPECT_EQ(registry.ReadString(key, "a"), "caf\xC3\xA9 \xE2\x82\xAC");
  registry.WriteString(key, "z", "\xD0\x96");  // outside the code page, whole
  EXPECT_EQ(StoredText(first.get(), "z"), L"\u0416");
}

// --- The switch on the user's real values ------------------------------------------------------
// Suites named UserProfile* share a lock with the end-to-end runs, which touch the same values.

class UserProfileSwitch : public ::testing::Test {
 protected:
  SavedUserProfile profile;
  Win32Registry registry;
  Win32Profile profileApi;
  // The connections' own options are the end-to-end tests' (tests/e2e/InternetSettingsTest.cpp).
  struct : ConnectionOptions {
    ConnectionCall ListEntries(std::vector<std::string>&) override { return {}; }
    ConnectionCall QueryFlags(const std::string&, std::uint32_t&) override { return {}; }
    ConnectionCall Set(const std::string&, const ConnectionProxy&) override { return {}; }
  } internet;
  std::string iniPath;
  TConfig config;

  UserProfileSwitch() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    iniPath = std::string(dir) + "kestel-registry-" + std::to_string(GetCurrentProcessId()) + ".ini";
    DeleteFileA(iniPath.c_str());
  }
  ~UserProfileSwitch() override { DeleteFileA(iniPath.c_str()); }

  ProfileValues Snapshot() const { return profile.Values(); }
  void Given(std::optional<RawValue> enable, std::optional<RawValue> exceptions, std::optional<RawValue> server,
             std::optional<RawValue> startPage) {
    profile.Set({std::move(enable), std::move(exceptions), std::move(server), std::move(startPage)});
  }

  void WriteIni(const std::string& text) { std::ofstream(iniPath, std::ios::binary) << text; }
  std::string IniText() const {
    std::ifstream in(iniPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void Away() {
    SettingsFile settings(iniPath, profileApi);
    SwitchToAwaySettings(settings, registry, internet, config);
  }
  void Local() {
    SettingsFile settings(iniPath, profileApi);
    SwitchToLocalSettings(settings, registry, internet, config);
  }
};

TEST_F(UserProfileSwitch, CaptureStoresTheFourValuesInOrderAndLeavesTheRegistryAlone) {
  const struct {
    std::optional<RawValue> enable;
    const char* enabledKey;
  } cases[] = {{Dword(1), "1"}, {Dword(0), "0"}, {Dword(2), "0"}, {std::nullopt, "0"}};
  for (const auto& c : cases) {
    Given(c.enable, Sz("<local>;*.home"), Sz("proxy:8080"), RawValue{REG_EXPAND_SZ, BytesOf("%HOMEDRIVE%\\start")});
    WriteIni("[connection]\r\nserver=127.0.0.1\r\n");
    const auto before = Snapshot();
    Away();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(IniText(), std::string("[connection]\r\nserver=127.0.0.1\r\n[awayinternetsettings]\r\n") +
                             "awayproxyenabled=" + c.enabledKey +
                             "\r\nawayproxyexceptions=<local>;*.home\r\nawayproxyserver=proxy:8080\r\n"
                             "awayhomepage=%HOMEDRIVE%\\start\r\n");
  }
}

TEST_F(UserProfileSwitch, CaptureStoresMissingTextsAsEmptyKeys) {
  Given(Dword(0), std::nullopt, std::nullopt, std::nullopt);
  Away();
  EXPECT_EQ(IniText(),
            "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyexceptions=\r\nawayproxyserver=\r\n"
            "awayhomepage=\r\n");
}

TEST_F(UserProfileSwitch, CaptureOfAValueOfTheWrongKindStopsBeforeTheSettingsFile) {
  const struct {
    std::optional<RawValue> enable;
    std::optional<RawValue> startPage;
    const char* message;
  } cases[] = {
      {Sz("1"), Sz("x"), "Invalid data type for 'ProxyEnable'"},
      {RawValue{REG_BINARY, Bytes(8, '\0')}, Sz("x"), "Failed to get data for 'ProxyEnable'"},
      {Dword(1), Dword(1), "Invalid data type for 'Start Page'"},
  };
  for (const auto& c : cases) {
    Given(c.enable, Sz(""), Sz(""), c.startPage);
    WriteIni("[connection]\r\nserver=x\r\n");
    EXPECT_EQ(RegistryFailureOf([&] { Away(); }), c.message);
    EXPECT_EQ(IniText(), "[connection]\r\nserver=x\r\n");
  }
}

TEST_F(UserProfileSwitch, AppliesAStoredSetAndOnlyTheExactMarkerMeansNoneIsStored) {
  const struct {
    const char* homePage;
    RawValue startPage;
  } cases[] = {{"", Sz("")}, {"noawayhomepage", Sz("noawayhomepage")}, {"http://away/", Sz("http://away/")}};
  for (const auto& c : cases) {
    Given(Dword(0), Sz("old"), Sz("old"), Sz("http://old/"));
    WriteIni(std::string("[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayproxyserver=away:3128\r\n") +
             "awayproxyexceptions=%USERNAME%\r\nawayhomepage=" + c.homePage + "\r\n");
    Away();
    EXPECT_EQ(Snapshot(), (ProfileValues{Dword(1), Sz("%USERNAME%"), Sz("away:3128"), c.startPage})) << c.homePage;
  }
  Given(Dword(0), Sz("old"), Sz("old"), Sz("http://old/"));
  WriteIni("[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayhomepage=NOAWAYHOMEPAGE\r\n");
  Away();
  EXPECT_EQ(GetRaw(profile.proxy.get(), "ProxyEnable"), Dword(0));
  EXPECT_NE(IniText().find("awayhomepage=http://old/"), std::string::npos) << IniText();
}

TEST_F(UserProfileSwitch, LocalStepWithoutItsSectionTurnsTheProxyOffAndEmptiesTheTexts) {
  Given(Dword(1), Sz("old"), Sz("old"), Sz("http://old/"));
  WriteIni("[connection]\r\nserver=x\r\n");
  Local();
  EXPECT_EQ(Snapshot(), (ProfileValues{Dword(0), Sz(""), Sz(""), Sz("")}));
}

TEST_F(UserProfileSwitch, AwayThenLocalLeavesTheLocalSetInForce) {
  Given(std::nullopt, std::nullopt, std::nullopt, Sz("http://old/"));
  WriteIni(
      "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayhomepage=http://away/\r\n"
      "[localinternetsettings]\r\nlocalproxyenabled=1\r\nlocalproxyserver=home:80\r\n"
      "localproxyexceptions=<local>\r\nlocalhomepage=http://intranet/\r\n");
  Away();
  EXPECT_EQ(GetRaw(profile.browser.get(), "Start Page"), Sz("http://away/"));
  Local();
  EXPECT_EQ(Snapshot(), (ProfileValues{Dword(1), Sz("<local>"), Sz("home:80"), Sz("http://intranet/")}));
}

}  // namespace
}  // namespace kestel
