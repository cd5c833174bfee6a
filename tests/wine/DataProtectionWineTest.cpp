// The stored password through the real data protection and a real settings file.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <string>

#include "base/CodePageWin32.h"
#include "base/SystemLibrary.h"
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

// What an earlier Kestel stored: the password's bytes in the ANSI code page, protected without entropy.
std::string EarlierBlob(const std::string& ansiBytes) {
  const UniqueModule crypt32 = LoadSystemLibrary("crypt32.dll");
  auto* protect = ProcedureOf<decltype(CryptProtectData)>(crypt32.get(), "CryptProtectData");
  DATA_BLOB in{static_cast<DWORD>(ansiBytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(ansiBytes.data()))};
  DATA_BLOB out{};
  if (protect == nullptr || !protect(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return {};
  std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return blob;
}

// Earlier values keep working, as the code page read them; new ones carry any letter, and only the
// new form is made.
TEST_F(ProtectedPasswordOnDisk, EarlierValuesReadInTheCodePageNewOnesInUtf8) {
  const std::string accented = "P\xC3\xA4sswort";  // in code page 1252, which the suite's Wine runs in
  const std::string earlier = EarlierBlob(Utf8ToAnsi(accented));
  ASSERT_FALSE(earlier.empty());
  EXPECT_EQ(protection_.Unprotect(earlier), accented);
  EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi("plain")), "plain");

  const std::string cyrillic = "\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C \xE2\x82\xAC";
  const auto blob = protection_.Protect(cyrillic);
  ASSERT_TRUE(blob);
  EXPECT_EQ(protection_.Unprotect(*blob), cyrillic);
  // An earlier Kestel, which knows no entropy, cannot open it: it asks rather than log on wrongly.
  const UniqueModule crypt32 = LoadSystemLibrary("crypt32.dll");
  auto* unprotect = ProcedureOf<decltype(CryptUnprotectData)>(crypt32.get(), "CryptUnprotectData");
  DATA_BLOB in{static_cast<DWORD>(blob->size()), reinterpret_cast<BYTE*>(const_cast<char*>(blob->data()))};
  DATA_BLOB out{};
  EXPECT_FALSE(unprotect(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out));
}

}  // namespace
}  // namespace kestel
