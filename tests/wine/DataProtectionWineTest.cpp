// The stored password through the real data protection and a real settings file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "settings/DataProtectionWin32.h"
#include "settings/SettingsWin32.h"
#include "base/Base64.h"
#include "settings/StoredPassword.h"
#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

class ProtectedPasswordOnDisk : public ::testing::Test {
 protected:
  SettingsFile& Settings() { return settings_; }
  std::string Stored() { return settings_.ReadSettingText("user", "password", "NOPASS"); }
  StoredPassword Read(const std::string& stored) { return StoredPassword(stored, "NOPASS", protection_); }

  testing::TempFolder folder_;
  Win32Profile profile_;
  SettingsFile settings_{folder_.File("kestel.ini"), profile_};
  Win32UserDataProtection protection_;
};

TEST_F(ProtectedPasswordOnDisk, ReadsBackWholeFromTheFileAndNowhereInItInPlain) {
  for (const std::string& password : {std::string("s3cret pass"), std::string(1000, 'p') + "!"}) {
    ASSERT_TRUE(folder_.Write("kestel.ini", "[user]\r\nusername=alice\r\n"));
    Read("NOPASS").SaveTyped(Settings(), password, true);
    const std::string stored = Stored();
    EXPECT_TRUE(stored.starts_with(kProtectedPrefix)) << stored;
    EXPECT_EQ(folder_.Read("kestel.ini").find(password.substr(0, 6)), std::string::npos);
    EXPECT_EQ(Read(stored).Usable(), password);
  }
}

TEST_F(ProtectedPasswordOnDisk, ValuesCutShortOrDamagedAreRefusedAndOnesTooLongAreNeverStored) {
  ASSERT_TRUE(folder_.Write("kestel.ini", "[user]\r\npassword=before\r\n"));
  Read("before").SaveTyped(Settings(), std::string(1500, 'p'), true);
  EXPECT_EQ(Stored(), "before") << "its protected form would be read back cut short";

  Read("before").ProtectInPlace(Settings(), true);
  const std::string stored = Stored();
  ASSERT_EQ(Read(stored).Usable(), "before");
  for (const std::string& damaged :
       {stored.substr(0, stored.size() - 1), stored.substr(0, stored.size() - 4),
        std::string(kProtectedPrefix) + EncodeBase64("not a blob of this user's"), std::string(kProtectedPrefix)}) {
    EXPECT_EQ(Read(damaged).Usable(), std::nullopt) << damaged;
    EXPECT_TRUE(Read(damaged).Missing());
  }
}

}  // namespace
}  // namespace kestel
