// kestel.ini's own reader and writer: the encoding told from the bytes, the reading rules in every
// encoding, the cuts, and writes that change one line and keep every other byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "tests/unit/MemorySettings.h"

namespace kestel {
namespace {

using namespace std::string_literals;
const char* const kPath = "C:\\Kestel\\kestel.ini";
const testing::FakeCodePage kCodePage;

// UTF-8 text as the bytes of a file in encoding.
std::string InEncoding(const std::string& text, TextEncoding encoding) {
  return *EncodeSettings(text, encoding, kCodePage);
}

TEST(DecodeSettings, TellsTheEncodingFromTheBytesAndWhetherTheFileMayBeRewritten) {
  std::string everyByteButZero;
  for (int b = 1; b < 256; ++b)
    if (b != 0x81) everyByteButZero += static_cast<char>(b);
  const struct {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::string text;
    bool writable;
    bool exact = true;
  } cases[] = {
      {"empty file", "", TextEncoding::Utf8, "", true},
      {"ASCII", "[connection]\r\nserver=home\r\n", TextEncoding::Utf8, "[connection]\r\nserver=home\r\n", true},
      {"UTF-8 without a mark", "[a]\r\nb=B\xC3\xBCro\r\n", TextEncoding::Utf8, "[a]\r\nb=B\xC3\xBCro\r\n", true},
      {"UTF-8 mark, not part of line 1", "\xEF\xBB\xBF[user]\r\n", TextEncoding::Utf8Marked, "[user]\r\n", true},
      {"UTF-8 mark over bytes that are no UTF-8, carried as they are", "\xEF\xBB\xBF[a]\xFC", TextEncoding::Utf8Marked,
       "[a]\xFC", true},
      {"code page: one byte that is no UTF-8", "b=B\xFCro \x80", TextEncoding::Ansi, "b=B\xC3\xBCro \xE2\x82\xAC",
       true},
      {"code page: UTF-8 broken in one place", "a=\xC3\xBC\r\nb=\xFC", TextEncoding::Ansi,
       "a=\xC3\x83\xC2\xBC\r\nb=\xC3\xBC", true},
      {"every byte but zero", everyByteButZero, TextEncoding::Ansi, kCodePage.ToUtf8(everyByteButZero), true},
      {"a byte the code page does not define", "a=\x81\xFC", TextEncoding::Ansi, "a=\xEF\xBF\xBD\xC3\xBC", true, false},
      {"UTF-16LE", "\xFF\xFE[\0a\0]\0\x16\x04"s, TextEncoding::Utf16Le, "[a]\xD0\x96", true},
      {"UTF-16LE, odd last byte", "\xFF\xFE[\0a"s, TextEncoding::Utf16Le, "[", false},
      {"UTF-16LE, lone surrogate", "\xFF\xFE\x00\xD8"s, TextEncoding::Utf16Le, "\xEF\xBF\xBD", false},
      {"UTF-16BE reads as the code page", "\xFE\xFF\0[\0a\0]"s, TextEncoding::Ansi, "\xC3\xBE\xC3\xBF\0[\0a\0]"s,
       false},
      {"UTF-16 without its mark", "[\0a\0]\0"s, TextEncoding::Utf8, "[\0a\0]\0"s, false},
      {"half a mark", "\xFF[\0"s, TextEncoding::Ansi, "\xC3\xBF[\0"s, false},
      {"zero inside a value", "[user]\r\nusername=a\0b\r\n"s, TextEncoding::Utf8, "[user]\r\nusername=a\0b\r\n"s,
       false},
      {"zero in a code page file", "\xFC\0"s, TextEncoding::Ansi, "\xC3\xBC\0"s, false},
  };
  for (const auto& c : cases) {
    const DecodedSettings decoded = DecodeSettings(c.bytes, kCodePage);
    EXPECT_EQ(decoded.encoding, c.encoding) << c.name;
    EXPECT_EQ(decoded.text, c.text) << c.name;
    EXPECT_EQ(decoded.writable, c.writable) << c.name;
    EXPECT_EQ(decoded.exact, c.exact) << c.name;
  }
}

// One file, every rule of reading, in each encoding the reader knows.
TEST(IniProfile, ReadsEveryEncodingByTheSameRules) {
  const std::string text =
      "stray=before any section\r\n"
      "[Connection]\n"
      "  server  =   h\xC3\xA9me   \r"
      "SERVER=second\r\n"
      "; server=commented\r\n"
      "[user]\r\n"
      "username=\"J\xC3\xBCrgen Smith\"\r\n"
      "password='p w'\r\n"
      "quoteonly=\"\r\n"
      "unclosed=\"open\r\n"
      "hidden\r\n"
      "hidden=never read\r\n"
      "empty=\r\n"
      "[mappings\r\n"
      "cut=a\0b\r\n"s
      "[MAPPINGS]\r\n"
      "H:=\\\\srv\\h\r\n"
      "; I:=commented\r\n"
      "J:\r\n"
      "S:=\\\\srv\\s\r\n"
      "S:=\\\\srv\\again\r\n"
      "=\\\\srv\\nameless\r\n"
      "K:=\\\\srv\\k\r\n"
      "[connection]\r\n"
      "server=second section\r\n"
      "[ spaced ]\r\n"
      "key = v \r\n";
  const struct {
    std::string section, key, defaultText, value;
  } reads[] = {
      {"connection", "server", "NOSERVER", "h\xC3\xA9me"},
      {" CONNECTION ", " Server ", "NOSERVER", "h\xC3\xA9me"},
      {"user", "username", "NOUSER", "J\xC3\xBCrgen Smith"},
      {"user", "password", "NOPASS", "p w"},
      {"user", "quoteonly", "", "\""},
      {"user", "unclosed", "", "\"open"},
      {"user", "hidden", "NONE", "NONE"},
      {"user", "empty", "NONE", ""},
      {"user", "missing", "\"NONE\"   ", "NONE"},
      {"user", "cut", "NONE", "a"},
      {"mappings", "J:", "NONE", "NONE"},
      {"spaced", "key", "", "v"},
      {"", "stray", "NONE", "NONE"},
      {"nosuchsection", "server", "NOSERVER", "NOSERVER"},
  };
  for (const TextEncoding encoding :
       {TextEncoding::Ansi, TextEncoding::Utf8, TextEncoding::Utf8Marked, TextEncoding::Utf16Le}) {
    testing::MemoryStore store;
    store.files[kPath] = InEncoding(text, encoding);
    IniProfile profile(store, kCodePage);
    SettingsFile settings(kPath, profile);
    const int shown = static_cast<int>(encoding);
    for (const auto& r : reads)
      EXPECT_EQ(settings.ReadSettingText(r.section, r.key, r.defaultText), r.value)
          << "encoding " << shown << ": [" << r.section << "] " << r.key;
    TStringList lines;
    settings.ReadSectionLines("mappings", lines);
    // The empty name ends the list: K: is never listed.
    EXPECT_EQ(lines, (TStringList{"H:=\\\\srv\\h", "S:=\\\\srv\\s", "S:=\\\\srv\\s"})) << "encoding " << shown;
  }
}

TEST(IniProfile, CutsValuesAndKeyListsAtTheBufferNeverInsideALetter) {
  std::string value;
  for (int i = 0; i < 3000; ++i) value += static_cast<char>('a' + i % 26);
  const std::string letters = std::string(2046, 'x') + "\xC3\xBC" + "tail";
  std::string names;
  TStringList all;
  for (int i = 0; i < 200; ++i) {
    std::string name = "key" + std::to_string(1000 + i);
    name.resize(99, 'n');
    all.push_back(name);
    names += name + "=v\r\n";
  }
  testing::MemoryStore store;
  store.files[kPath] = "[p]\r\n1=" + value + "\r\n2=" + letters + "\r\n[big]\r\n" + names;
  IniProfile profile(store, kCodePage);
  SettingsFile settings(kPath, profile);
  EXPECT_EQ(settings.ReadSettingText("p", "1", ""), value.substr(0, 2047));
  EXPECT_EQ(settings.ReadSettingText("p", "2", ""), std::string(2046, 'x'));
  // 163 whole names take 16300 bytes; of the next one, 82 characters fit before the two zero bytes.
  TStringList listed;
  settings.ReadSectionKeys("big", listed);
  ASSERT_EQ(listed.size(), 164u);
  EXPECT_EQ(TStringList(listed.begin(), listed.end() - 1), TStringList(all.begin(), all.begin() + 163));
  EXPECT_EQ(listed.back(), all[163].substr(0, 82));
}

// Each encoding keeps its encoding and every byte the write does not change.
TEST(IniProfile, WritesKeepTheEncodingLineEndsAndEveryOtherByte) {
  const std::string before =
      "; Kestel for the B\xC3\xBCro\n"
      "[connection]\n"
      "server = home   \n"
      "\n"
      "[user]\n"
      "username\n"
      "; end of user\n"
      "\n"
      "[mappings]\n"
      "H:=\\\\srv\\h";
  const std::string after =
      "; Kestel for the B\xC3\xBCro\n"
      "[connection]\n"
      "server = h\xC3\xB6me\n"
      "\n"
      "[user]\n"
      "username=j\xC3\xBCrgen\n"
      "password=p\xC3\xA4ss\n"
      "; end of user\n"
      "\n"
      "[mappings]\n"
      "H:=\\\\srv\\h\n"
      "I:=\\\\srv\\i\n"
      "[awayinternetsettings]\n"
      "awayhomepage=about:blank\n";
  for (const TextEncoding encoding :
       {TextEncoding::Ansi, TextEncoding::Utf8, TextEncoding::Utf8Marked, TextEncoding::Utf16Le}) {
    testing::MemoryStore store;
    store.files[kPath] = InEncoding(before, encoding);
    ASSERT_EQ(DecodeSettings(store.files[kPath], kCodePage).encoding, encoding);
    IniProfile profile(store, kCodePage, [](const std::string&, const std::string&, unsigned) { FAIL(); });
    SettingsFile settings(kPath, profile);
    settings.WriteSettingText("Connection", "SERVER", "h\xC3\xB6me");
    settings.WriteSettingText("user", "username", "j\xC3\xBCrgen");
    settings.WriteSettingText("user", "password", "  p\xC3\xA4ss");
    settings.WriteSettingText("mappings", "I:", "\\\\srv\\i");
    settings.WriteSettingText("awayinternetsettings", "awayhomepage", "about:blank");
    EXPECT_EQ(store.files[kPath], InEncoding(after, encoding)) << "encoding " << static_cast<int>(encoding);
    const int replaced = store.replaced;
    settings.WriteSettingText("user", "username", "j\xC3\xBCrgen");
    EXPECT_EQ(store.replaced, replaced) << "an unchanged value leaves the file alone";
  }
}

TEST(IniProfile, AValueOutsideTheCodePageTurnsTheWholeFileIntoUtf8AndSaysSo) {
  const std::string before = "; B\xFCro \x80\r\n[user]\r\nusername=ann\r\n";
  testing::MemoryStore store;
  store.files[kPath] = before;
  std::vector<std::string> told;
  IniProfile profile(store, kCodePage, [&](const std::string& path, const std::string& key, unsigned codePage) {
    told.push_back(path + "|" + key + "|" + std::to_string(codePage));
  });
  SettingsFile settings(kPath, profile);
  settings.WriteSettingText("user", "password", "p\xC3\xA4ss");  // fits code page 1252
  EXPECT_EQ(store.files[kPath], "; B\xFCro \x80\r\n[user]\r\nusername=ann\r\npassword=p\xE4ss\r\n");
  EXPECT_TRUE(told.empty());
  settings.WriteSettingText("user", "username", "\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F");  // Cyrillic
  EXPECT_EQ(
      store.files[kPath],
      "; B\xC3\xBCro \xE2\x82\xAC\r\n[user]\r\nusername=\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F\r\npassword=p\xC3\xA4ss\r\n");
  EXPECT_EQ(told, std::vector<std::string>{std::string(kPath) + "|username|1252"});
  EXPECT_EQ(settings.ReadSettingText("user", "password", ""), "p\xC3\xA4ss");
}

// Under code page 65001 a file in 1252 is no UTF-8, and reads with U+FFFD for its letters outside
// ASCII; any code page may leave bytes undefined. The write encodes only what it changes.
TEST(IniProfile, AFileTheCodePageCannotReadBackKeepsTheBytesOfEveryLineAWriteLeaves) {
  const testing::FakeUtf8CodePage utf8CodePage;
  const std::string older = "; f\xFCr das B\xFCro\r\n[connection]\r\nserver=home\r\n[user]\r\nusername=J\xFCrgen\r\n";
  const struct {
    const char* name;
    const AnsiCodePage& codePage;
    std::string before;
    std::string section, key, value;
    std::optional<std::string> after;  // nullopt: refused, the file left as it was
  } cases[] = {
      {"65001: the away set captured into a new section", utf8CodePage, older, "awayinternetsettings", "awayhomepage",
       "http://intranet.invalid/B\xC3\xBCro",
       older + "[awayinternetsettings]\r\nawayhomepage=http://intranet.invalid/B\xC3\xBCro\r\n"},
      {"65001: a line between two in 1252", utf8CodePage, "[c]\nx=\xFC\nserver=a\ny=\xE4", "c", "server", "b\xC3\xBC",
       "[c]\nx=\xFC\nserver=b\xC3\xBC\ny=\xE4"},
      {"65001: a section after a last line in 1252 without its end", utf8CodePage, "[c]\r\nx=\xFC", "u", "k", "v",
       "[c]\r\nx=\xFC\r\n[u]\r\nk=v\r\n"},
      {"1252: a byte it does not define", kCodePage, "[user]\r\nnote=\x81\xFC\r\n", "user", "username", "J\xC3\xBCrgen",
       "[user]\r\nnote=\x81\xFC\r\nusername=J\xFCrgen\r\n"},
      {"1252: a byte it does not define, and a value it cannot hold", kCodePage, "[user]\r\nnote=\x81\xFC\r\n", "user",
       "username", "\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F", std::nullopt},
  };
  for (const auto& c : cases) {
    testing::MemoryStore store;
    store.files[kPath] = c.before;
    IniProfile profile(store, c.codePage, [](const std::string&, const std::string&, unsigned) { FAIL(); });
    EXPECT_EQ(profile.WriteString(c.section.c_str(), c.key.c_str(), c.value.c_str(), kPath), c.after.has_value())
        << c.name;
    EXPECT_EQ(store.files[kPath], c.after.value_or(c.before)) << c.name;
    if (!c.after) continue;
    SettingsFile settings(kPath, profile);
    EXPECT_EQ(settings.ReadSettingText(c.section, c.key, ""), c.value) << c.name;
  }
  testing::MemoryStore store;
  store.files[kPath] = older;
  IniProfile profile(store, utf8CodePage);
  EXPECT_EQ(SettingsFile(kPath, profile).ReadSettingText("user", "username", ""), "J\xEF\xBF\xBDrgen");
}

TEST(IniProfile, RefusesWritesThatWouldLoseTextAndCreatesAMissingFile) {
  const struct {
    const char* name;
    std::string bytes;
    std::string value = "v";
    bool refuseReads = false;
  } refused[] = {
      {"UTF-16BE", "\xFE\xFF\0[\0u\0]\0\r\0\n"s},
      {"a zero byte", "[user]\r\nnote=a\0b\r\n"s},
      {"a lone surrogate", "\xFF\xFE[\0u\0]\0\x00\xD8"s},
      {"a line break in the value", "[user]\r\n", "v\r\n[connection]\r\nserver=elsewhere"},
      {"a file that cannot be read", "[user]\r\n", "v", true},
  };
  for (const auto& c : refused) {
    testing::MemoryStore store;
    store.files[kPath] = c.bytes;
    store.refuseReads = c.refuseReads;
    IniProfile profile(store, kCodePage);
    EXPECT_FALSE(profile.WriteString("user", "username", c.value.c_str(), kPath)) << c.name;
    EXPECT_EQ(store.files[kPath], c.bytes) << c.name;
  }
  testing::MemoryStore store;
  IniProfile profile(store, kCodePage);
  EXPECT_TRUE(profile.WriteString("user", "username", "ann", kPath));
  EXPECT_EQ(store.files[kPath], "[user]\r\nusername=ann\r\n");
}

}  // namespace
}  // namespace kestel
