#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "settings/SettingsFile.h"
#include "tests/unit/FakeProfile.h"

namespace kestel {
namespace {

const char* const kPath = "C:\\Users\\ann\\Kestel\\kestel.ini";

// Answers every read with bytes and a result chosen by the test, and records what it was asked.
class ScriptedProfile final : public ProfileApi {
 public:
  struct Call {
    std::string section;
    bool keyAbsent;
    std::string key;
    bool defaultAbsent;
    std::string defaultText;
    std::uint32_t size;
    std::string path;
  };
  std::string bytes;         // copied into the buffer, as far as it fits
  std::uint32_t result = 0;  // what the call returns
  std::vector<Call> calls;

  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override {
    calls.push_back(
        {section, key == nullptr, key ? key : "", defaultText == nullptr, defaultText ? defaultText : "", size, path});
    std::memcpy(buffer, bytes.data(), std::min<std::size_t>(bytes.size(), size));
    return result;
  }
  bool WriteString(const char*, const char*, const char*, const char*) override { return true; }
};

TEST(ReadSettingText, AsksForTheKeyWithItsDefaultIntoA2048ByteBuffer) {
  ScriptedProfile profile;
  profile.bytes = std::string("value\0junk", 10);
  profile.result = 5;
  SettingsFile settings(kPath, profile);
  EXPECT_EQ(settings.ReadSettingText("connection", "server", "NOSERVER"), "value");
  EXPECT_EQ(settings.ReadSettingText("user", "username", ""), "value");
  ASSERT_EQ(profile.calls.size(), 2u);
  EXPECT_EQ(profile.calls[0].section, "connection");
  EXPECT_EQ(profile.calls[0].key, "server");
  EXPECT_EQ(profile.calls[0].defaultText, "NOSERVER");
  EXPECT_EQ(profile.calls[0].size, 2048u);
  EXPECT_EQ(profile.calls[0].path, kPath);
  // An empty default is an empty text, never an absent one.
  EXPECT_FALSE(profile.calls[1].defaultAbsent);
  EXPECT_FALSE(profile.calls[1].keyAbsent);
}

TEST(ReadSettingText, ReturnsTheCopiedCharactersAndNeverMoreThan2047) {
  ScriptedProfile profile;
  SettingsFile settings(kPath, profile);
  profile.bytes = std::string(2048, 'a');
  profile.result = 2047;
  EXPECT_EQ(settings.ReadSettingText("s", "k", ""), std::string(2047, 'a'));
  // A result past the buffer is held to what the buffer can carry.
  profile.result = 5000;
  EXPECT_EQ(settings.ReadSettingText("s", "k", ""), std::string(2047, 'a'));
  profile.result = 0;
  EXPECT_EQ(settings.ReadSettingText("s", "k", ""), "");
}

TEST(ReadSettingText, LongValueIsReadAsItsFirst2047Characters) {
  testing::FakeProfile profile;
  std::string value;
  for (int i = 0; i < 3000; ++i) value += static_cast<char>('a' + i % 26);
  profile.Set("localpostscripts", "1", value);
  SettingsFile settings(kPath, profile);
  EXPECT_EQ(settings.ReadSettingText("localpostscripts", "1", ""), value.substr(0, 2047));
}

TEST(ReadSectionKeys, AsksForAllNamesIntoA16384ByteBuffer) {
  ScriptedProfile profile;
  profile.bytes = std::string("H:\0S:\0\0", 7);
  profile.result = 5;
  SettingsFile settings(kPath, profile);
  TStringList names{"left over"};
  settings.ReadSectionKeys("mappings", names);
  EXPECT_EQ(names, (TStringList{"H:", "S:"}));
  ASSERT_EQ(profile.calls.size(), 1u);
  EXPECT_EQ(profile.calls[0].section, "mappings");
  EXPECT_TRUE(profile.calls[0].keyAbsent);
  EXPECT_TRUE(profile.calls[0].defaultAbsent);
  EXPECT_EQ(profile.calls[0].size, 16384u);
  EXPECT_EQ(profile.calls[0].path, kPath);
}

TEST(ReadSectionKeys, ParsesTheBufferUpToTheFirstEmptyName) {
  struct Case {
    std::string bytes;
    std::uint32_t result;
    TStringList names;
  };
  const Case cases[] = {
      {std::string("a\0bb\0ccc\0\0", 10), 9, {"a", "bb", "ccc"}},
      {std::string("1\0"
                   "1\0\0",
                   5),
       4,
       {"1", "1"}},  // equal names are both kept, in order
      {std::string("a\0\0b\0\0", 6), 5, {"a"}},
      {std::string("\0", 1), 0, {}},
      // A result of 0 means no section or no keys, whatever the buffer holds.
      {std::string("stale\0\0", 7), 0, {}},
  };
  for (const Case& c : cases) {
    ScriptedProfile profile;
    profile.bytes = c.bytes;
    profile.result = c.result;
    SettingsFile settings(kPath, profile);
    TStringList names{"left over"};
    settings.ReadSectionKeys("s", names);
    EXPECT_EQ(names, c.names);
  }
}

TEST(ReadSectionKeys, StaysInsideABufferWithoutTerminator) {
  ScriptedProfile profile;
  profile.bytes = std::string(16384, 'k');
  profile.result = 16382;
  SettingsFile settings(kPath, profile);
  TStringList names;
  settings.ReadSectionKeys("s", names);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], std::string(16383, 'k'));
}

TEST(ReadSectionKeys, OverflowingNamesGiveThoseThatFitTheLastCutShort) {
  testing::FakeProfile profile;
  // 200 names of 99 characters: 20000 bytes with their zero bytes.
  TStringList all;
  for (int i = 0; i < 200; ++i) {
    std::string name = "key" + std::to_string(1000 + i);
    name.resize(99, 'n');
    all.push_back(name);
    profile.Set("big", name, "v");
  }
  SettingsFile settings(kPath, profile);
  TStringList names;
  settings.ReadSectionKeys("big", names);
  // 163 whole names take 16300 bytes; of the next one, 82 characters fit before the two zero bytes
  // that end the buffer.
  ASSERT_EQ(names.size(), 164u);
  EXPECT_EQ(TStringList(names.begin(), names.end() - 1), TStringList(all.begin(), all.begin() + 163));
  EXPECT_EQ(names.back(), all[163].substr(0, 82));
}

TEST(ReadSectionLines, BuildsNameEqualsValueInFileOrder) {
  testing::FakeProfile profile;
  profile.Set("localpostscripts", "2", "second.exe")
      .Set("localpostscripts", "1", "first.exe /q")
      .Set("localpostscripts", "empty", "")
      .Set("other", "x", "y");
  SettingsFile settings(kPath, profile);
  TStringList lines{"left over"};
  settings.ReadSectionLines("LocalPostScripts", lines);
  EXPECT_EQ(lines, (TStringList{"2=second.exe", "1=first.exe /q", "empty="}));
  // Once for the names, then once per value.
  EXPECT_EQ(profile.readKeys,
            (std::vector<std::string>{"LocalPostScripts/2", "LocalPostScripts/1", "LocalPostScripts/empty"}));
}

TEST(ReadSectionLines, MissingSectionEmptiesTheList) {
  testing::FakeProfile profile;
  SettingsFile settings(kPath, profile);
  TStringList lines{"left over"};
  settings.ReadSectionLines("mappings", lines);
  EXPECT_TRUE(lines.empty());
  TStringList names{"left over"};
  settings.ReadSectionKeys("mappings", names);
  EXPECT_TRUE(names.empty());
}

TEST(WriteSettingText, RefusedWriteRaisesWithTheFullPathAfterEarlierWritesStayed) {
  testing::FakeProfile profile;
  SettingsFile settings(kPath, profile);
  settings.WriteSettingText("user", "username", "ann");
  profile.refuseWrites = true;
  try {
    settings.WriteSettingText("user", "password", "secret");
    FAIL() << "a refused write must raise";
  } catch (const Error& e) {
    EXPECT_EQ(e.Kind(), kSettingsWriteError);
    EXPECT_STREQ(e.what(), "Unable to write to C:\\Users\\ann\\Kestel\\kestel.ini");
  }
  EXPECT_EQ(profile.writes, (std::vector<std::string>{"user/username=ann"}));
  EXPECT_EQ(settings.ReadSettingText("user", "username", "NOUSER"), "ann");
  EXPECT_EQ(settings.ReadSettingText("user", "password", "NOPASS"), "NOPASS");
}

TEST(WriteSettingText, HandsTheValueOverUnchanged) {
  testing::FakeProfile profile;
  SettingsFile settings(kPath, profile);
  settings.WriteSettingText("awayinternetsettings", "awayproxyexceptions", "");
  settings.WriteSettingText("awayinternetsettings", "awayhomepage", " http://x/?a=b;c ");
  EXPECT_EQ(profile.writes, (std::vector<std::string>{"awayinternetsettings/awayproxyexceptions=",
                                                      "awayinternetsettings/awayhomepage= http://x/?a=b;c "}));
}

}  // namespace
}  // namespace kestel
