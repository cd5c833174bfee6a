// The settings file against real files, through kestel.ini's own reader and writer on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "base/CodePageWin32.h"
#include "base/Errors.h"
#include "base/Utf.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsWin32.h"
#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

using namespace std::string_literals;

struct HandleCloser {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// A kestel.ini of the test's own, written before the SettingsFile reads it.
class SettingsFileOnDisk : public ::testing::Test {
 protected:
  SettingsFile& WithFile(const std::string& content) {
    EXPECT_TRUE(folder_.Write("kestel.ini", content));
    settings_ = std::make_unique<SettingsFile>(folder_.File("kestel.ini"), profile_);
    return *settings_;
  }
  std::string FileContent() const { return folder_.Read("kestel.ini"); }

  testing::TempFolder folder_;
  Win32Profile profile_;
  std::unique_ptr<SettingsFile> settings_;
};

TEST_F(SettingsFileOnDisk, SectionAndKeyNamesMatchInAnyCapitals) {
  for (const char* section : {"[SCRIPTS]", "[Scripts]", "[sCrIpTs]"}) {
    testing::TempFolder folder;
    ASSERT_TRUE(folder.Write("kestel.ini", std::string(section) + "\r\nshowMapErrors=1\r\nHIDESCRIPTS=0\r\n"));
    SettingsFile settings(folder.File("kestel.ini"), profile_);
    EXPECT_TRUE(settings.ReadSettingFlag("SCRIPTS", "showmaperrors", false)) << section;
    EXPECT_FALSE(settings.ReadSettingFlag("Scripts", "HideScripts", true)) << section;
    EXPECT_EQ(settings.ReadSettingText("scripts", "SHOWMAPERRORS", "missing"), "1") << section;
  }
}

TEST_F(SettingsFileOnDisk, ValuesLoseSurroundingBlanksAndQuotes) {
  SettingsFile& settings = WithFile(
      "[connection]\r\n"
      "  server  =   home.example   \r\n"
      "[user]\r\n"
      "username=\"Ann Smith\"\r\n"
      "password='p w'\r\n"
      "[awayinternetsettings]\r\n"
      "awayproxyexceptions=\r\n"
      "awayhomepage=  \"  spaced  \"  \r\n");
  EXPECT_EQ(settings.ReadSettingText("connection", "server", "NOSERVER"), "home.example");
  EXPECT_EQ(settings.ReadSettingText("user", "username", "NOUSER"), "Ann Smith");
  EXPECT_EQ(settings.ReadSettingText("user", "password", "NOPASS"), "p w");
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayhomepage", ""), "  spaced  ");
  // Present but empty is the empty text; only a missing key gives the default.
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayproxyexceptions", "NOAWAYHOMEPAGE"), "");
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayproxyserver", "NOAWAYHOMEPAGE"), "NOAWAYHOMEPAGE");
  EXPECT_EQ(settings.ReadSettingText("nosuchsection", "server", "NOSERVER"), "NOSERVER");
}

TEST_F(SettingsFileOnDisk, PresentButEmptyServerIsNotTheMarker) {
  SettingsFile& settings = WithFile("[connection]\r\nserver=\r\n");
  EXPECT_EQ(settings.ReadSettingText("connection", "server", "NOSERVER"), "");
}

TEST_F(SettingsFileOnDisk, FirstOfTwoEqualKeysWins) {
  SettingsFile& settings = WithFile("[connection]\r\nserver=first\r\nSERVER=second\r\n");
  EXPECT_EQ(settings.ReadSettingText("connection", "server", "NOSERVER"), "first");
}

TEST_F(SettingsFileOnDisk, FlagsFollowTheFlagTable) {
  struct Case {
    const char* value;
    bool expected;   // with the default false
    bool isDefault;  // not a number: the default is taken
  };
  const Case cases[] = {
      {"1", true, false},  {"2", true, false},   {"-1", true, false},  {"0x1", true, false}, {"$A", true, false},
      {"0", false, false}, {"00", false, false}, {"$0", false, false}, {"yes", false, true}, {"true", false, true},
      {"on", false, true}, {"1a", false, true},  {"", false, true},
  };
  std::string content = "[SCRIPTS]\r\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    content += "flag" + std::to_string(i) + "=" + cases[i].value + "\r\n";
  SettingsFile& settings = WithFile(content);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string key = "flag" + std::to_string(i);
    EXPECT_EQ(settings.ReadSettingFlag("SCRIPTS", key, false), cases[i].expected) << cases[i].value;
    EXPECT_EQ(settings.ReadSettingFlag("Scripts", key, true), cases[i].isDefault || cases[i].expected)
        << cases[i].value;
  }
}

TEST_F(SettingsFileOnDisk, LongValueIsReadAsItsFirst2047Characters) {
  std::string value;
  for (int i = 0; i < 3000; ++i) value += static_cast<char>('a' + i % 26);
  SettingsFile& settings = WithFile("[localpostscripts]\r\n1=" + value + "\r\n2=next.exe\r\n");
  EXPECT_EQ(settings.ReadSettingText("localpostscripts", "1", ""), value.substr(0, 2047));
  TStringList lines;
  settings.ReadSectionLines("localpostscripts", lines);
  EXPECT_EQ(lines, (TStringList{"1=" + value.substr(0, 2047), "2=next.exe"}));
}

TEST_F(SettingsFileOnDisk, SectionsAreListedInFileOrderAndEmptyOnesGiveNothing) {
  SettingsFile& settings = WithFile(
      "[mappings]\r\n"
      "S:=\\\\home\\shared\r\n"
      "h: = \"\\\\home\\users\\%INTERNALUSERNAME%\"\r\n"
      "[localpostscripts]\r\n"
      "[awaypostscripts]\r\n"
      "2=b.exe\r\n"
      "1=a.exe /x\r\n");
  TStringList names{"left over"};
  TStringList lines{"left over"};
  settings.ReadSectionKeys("MAPPINGS", names);
  settings.ReadSectionLines("Mappings", lines);
  EXPECT_EQ(names, (TStringList{"S:", "h:"}));
  EXPECT_EQ(lines, (TStringList{"S:=\\\\home\\shared", "h:=\\\\home\\users\\%INTERNALUSERNAME%"}));
  settings.ReadSectionLines("awaypostscripts", lines);
  EXPECT_EQ(lines, (TStringList{"2=b.exe", "1=a.exe /x"}));
  for (const char* empty : {"localpostscripts", "nosuchsection"}) {
    settings.ReadSectionKeys(empty, names);
    settings.ReadSectionLines(empty, lines);
    EXPECT_TRUE(names.empty()) << empty;
    EXPECT_TRUE(lines.empty()) << empty;
  }
}

TEST_F(SettingsFileOnDisk, OverflowingKeyNamesGiveThoseThatFit) {
  // 200 names of 99 characters need 20001 bytes with their zero bytes.
  TStringList all;
  std::string content = "[mappings]\r\n";
  for (int i = 0; i < 200; ++i) {
    std::string name = "key" + std::to_string(1000 + i);
    name.resize(99, 'n');
    all.push_back(name);
    content += name + "=v\r\n";
  }
  SettingsFile& settings = WithFile(content);
  TStringList names;
  settings.ReadSectionKeys("mappings", names);
  ASSERT_GE(names.size(), 163u);
  ASSERT_LE(names.size(), 164u);
  std::size_t bytes = 1;
  for (std::size_t i = 0; i < names.size(); ++i) {
    bytes += names[i].size() + 1;
    if (i < 163)
      EXPECT_EQ(names[i], all[i]);
    else
      EXPECT_EQ(all[i].compare(0, names[i].size(), names[i]), 0) << "the last name is cut short, not changed";
  }
  EXPECT_LE(bytes, 16384u);
}

TEST_F(SettingsFileOnDisk, WrittenKeysReadBackAndLeaveTheRestAlone) {
  SettingsFile& settings = WithFile("; hand-written\r\n[connection]\r\nserver=home\r\n");
  settings.WriteSettingText("awayinternetsettings", "awayhomepage", "http://start.example/");
  settings.WriteSettingFlag("awayinternetsettings", "awayproxyenabled", true);
  settings.WriteSettingText("awayinternetsettings", "awayproxyserver", "");
  settings.WriteSettingFlag("awayinternetsettings", "awayproxyenabled", false);
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayhomepage", ""), "http://start.example/");
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayproxyenabled", ""), "0");
  EXPECT_EQ(settings.ReadSettingText("awayinternetsettings", "awayproxyserver", "NONE"), "");
  EXPECT_EQ(settings.ReadSettingText("connection", "server", "NOSERVER"), "home");
  const std::string content = FileContent();
  EXPECT_EQ(content.rfind("; hand-written\r\n[connection]\r\nserver=home\r\n", 0), 0u) << content;
}

TEST_F(SettingsFileOnDisk, RefusedWriteRaisesWithTheFullPathAndEarlierWritesStay) {
  SettingsFile& settings = WithFile("[connection]\r\nserver=home\r\n");
  settings.WriteSettingText("user", "username", "ann");
  {
    // Held open with a share mode that denies writing: the platform must refuse the next write.
    const UniqueHandle held(CreateFileA(folder_.File("kestel.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    try {
      settings.WriteSettingText("user", "password", "secret");
      ADD_FAILURE() << "a refused write must raise";
    } catch (const Error& e) {
      EXPECT_EQ(e.Kind(), kSettingsWriteError);
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + folder_.File("kestel.ini"));
    }
  }
  EXPECT_EQ(settings.ReadSettingText("user", "username", "NOUSER"), "ann");
  EXPECT_EQ(settings.ReadSettingText("user", "password", "NOPASS"), "NOPASS");
  EXPECT_NE(FileContent().find("username=ann"), std::string::npos);
}

TEST_F(SettingsFileOnDisk, AFileThatMayBeWrittenButNotReplacedIsWrittenInPlace) {
  SettingsFile& settings = WithFile("[connection]\r\nserver=home\r\n");
  // Open for others to read and write but not to delete: the swap is refused, writing is not.
  const UniqueHandle held(CreateFileW(Wide(folder_.File("kestel.ini")).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
  settings.WriteSettingText("user", "username", "ann");
  EXPECT_EQ(FileContent(), "[connection]\r\nserver=home\r\n[user]\r\nusername=ann\r\n");
}

// The file calls the swap rests on, each with the outcome its logic expects of it.
TEST_F(SettingsFileOnDisk, TheSwapsFileCallsGiveTheOutcomesItIsBuiltOn) {
  Win32FileCalls calls;
  const std::string ini = folder_.File("kestel.ini"), other = folder_.File("other.ini");
  ASSERT_TRUE(folder_.Write("kestel.ini", "old") && folder_.Write("other.ini", "new"));
  EXPECT_EQ(calls.Move(other, ini), kErrorAlreadyExists) << "a move never replaces";
  EXPECT_EQ(calls.Replace(ini, other, ini + ".old"), 0u);
  EXPECT_EQ(folder_.Read("kestel.ini") + "," + folder_.Read("kestel.ini.old"), "new,old");
  std::unique_ptr<FileCalls::File> file;
  ASSERT_EQ(calls.Open(other, FileCalls::Access::CreateNew, file), 0u);
  EXPECT_EQ(file->Write("discarded"), 0u);
  EXPECT_EQ(file->Discard(), 0u);
  file.reset();
  EXPECT_EQ(GetFileAttributesW(Wide(other).c_str()), INVALID_FILE_ATTRIBUTES) << "discarded as it was closed";

  // A Kestel that runs (this program, started again but held before it begins) keeps its files.
  std::wstring image(MAX_PATH, L'\0');
  image.resize(GetModuleFileNameW(nullptr, image.data(), MAX_PATH));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessW(image.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &child));
  const UniqueHandle process(child.hProcess), thread(child.hThread);
  ASSERT_TRUE(DeleteFileW(Wide(ini).c_str()));
  ASSERT_TRUE(folder_.Write("kestel.ini.kestel-" + std::to_string(child.dwProcessId) + ".bak", "old") &&
              folder_.Write("kestel.ini.kestel-" + std::to_string(child.dwProcessId) + ".tmp", "new"));
  TidySettingsLeftovers(ini);
  EXPECT_EQ(calls.Find(ini).size(), 3u);
  // Once it has ended, kestel.ini comes back from under the backup name.
  TerminateProcess(process.get(), 1);
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  TidySettingsLeftovers(ini);
  EXPECT_EQ(calls.Find(ini).size(), 2u);
  EXPECT_EQ(folder_.Read("kestel.ini"), "old");
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) bytes.append({static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
  return bytes;
}

// The same bytes read alike whatever the platform's own reader would make of them, and a write
// swaps in a file that differs only where it wrote; nothing is left beside it.
TEST_F(SettingsFileOnDisk, EachEncodingReadsWholeAndKeepsItsBytesOnAWrite) {
  const std::string cyrillic = "\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F";
  const struct {
    const char* name;
    std::string before, server, after;
  } cases[] = {
      {"UTF-8 with its mark before the first section", "\xEF\xBB\xBF[connection]\r\nserver=\\\\srv\\B\xC3\xBCro\r\n",
       "\\\\srv\\B\xC3\xBCro",
       "\xEF\xBB\xBF[connection]\r\nserver=\\\\srv\\B\xC3\xBCro\r\n[user]\r\nusername=" + cyrillic + "\r\n"},
      {"UTF-8 without a mark, LF only", "[connection]\nserver=\xE2\x82\xAC\n", "\xE2\x82\xAC",
       "[connection]\nserver=\xE2\x82\xAC\n[user]\nusername=" + cyrillic + "\n"},
      {"code page 1252, re-encoded as UTF-8 for a letter outside it", "[connection]\r\nserver=B\xFCro \x80\r\n",
       "B\xC3\xBCro \xE2\x82\xAC",
       "[connection]\r\nserver=B\xC3\xBCro \xE2\x82\xAC\r\n[user]\r\nusername=" + cyrillic + "\r\n"},
      {"UTF-16LE", Utf16Le(u"[connection]\r\nserver=\u0416\r\n"), "\xD0\x96",
       Utf16Le(u"[connection]\r\nserver=\u0416\r\n[user]\r\nusername=\u0416\u0435\u043D\u044F\r\n")},
  };
  for (const auto& c : cases) {
    testing::TempFolder folder;
    ASSERT_TRUE(folder.Write("kestel.ini", c.before));
    SettingsFile settings(folder.File("kestel.ini"), profile_);
    EXPECT_EQ(settings.ReadSettingText("CONNECTION", "server", "NOSERVER"), c.server) << c.name;
    settings.WriteSettingText("user", "username", cyrillic);
    EXPECT_EQ(folder.Read("kestel.ini"), c.after) << c.name;
    EXPECT_EQ(settings.ReadSettingText("user", "username", "NOUSER"), cyrillic) << c.name;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(folder.File("kestel.ini*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(search, &found)) << c.name << ": left beside it: " << found.cFileName;
    FindClose(search);
  }
}

// The ANSI code page's conversions against the calls as Windows documents them, which Wine does not
// follow: MultiByteToWideChar and WideCharToMultiByte on one code page, converting for real but
// failing with ERROR_INVALID_FLAGS where UTF-8 takes no flag but MB_ERR_INVALID_CHARS or
// WC_ERR_INVALID_CHARS.
class DocumentedCalls final : public AnsiCodePageCalls {
 public:
  explicit DocumentedCalls(UINT number) : number_(number) {}
  UINT Number() const override { return number_; }
  int ToWide(DWORD flags, const char* bytes, int size, wchar_t* wide, int units) const override {
    if (number_ == CP_UTF8 && (flags | MB_ERR_INVALID_CHARS) != MB_ERR_INVALID_CHARS) return Refused();
    return MultiByteToWideChar(number_, flags, bytes, size, wide, units);
  }
  int FromWide(DWORD flags, const wchar_t* wide, int units, char* bytes, int size) const override {
    if (number_ == CP_UTF8 && (flags | WC_ERR_INVALID_CHARS) != WC_ERR_INVALID_CHARS) return Refused();
    return WideCharToMultiByte(number_, flags, wide, units, bytes, size, nullptr, nullptr);
  }

 private:
  static int Refused() {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  UINT number_;
};

TEST(AnsiCodePage, ConvertsWithTheFlagsEachCodePageTakes) {
  const struct {
    UINT codePage;
    std::string text, bytes, readBack;
  } cases[] = {
      // Without WC_NO_BEST_FIT_CHARS, Ω would be O in 1252 and read back as another letter.
      {1252, "B\xC3\xBCro \xCE\xA9", "B\xFCro ?", "B\xC3\xBCro ?"},
      {CP_UTF8, "B\xC3\xBCro \xCE\xA9", "B\xC3\xBCro \xCE\xA9", "B\xC3\xBCro \xCE\xA9"},
  };
  for (const auto& c : cases) {
    const DocumentedCalls calls(c.codePage);
    EXPECT_EQ(Utf8ToAnsi(c.text, calls), c.bytes) << c.codePage;
    EXPECT_EQ(AnsiToUtf8(c.bytes, calls), c.readBack) << c.codePage;
  }
}

}  // namespace
}  // namespace kestel
