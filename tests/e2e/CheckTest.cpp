// kestel-check.exe on small settings files: the findings it prints, line by line, and its exit code.
// Files are read by Kestel's own reader here, so rows about hidden keys, repeated sections, cut lists
// and encodings also pin down what that reader does.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "Harness.h"

namespace kestel::e2e {
namespace {

using namespace std::string_literals;

struct Expected {
  std::size_t line;
  const char* severity;
  const char* text;  // a part of the finding's text
};

struct Row {
  const char* name;
  std::optional<std::string> ini;  // nullopt: no kestel.ini at all
  const char* arguments;           // empty: the checker's default path
  std::vector<Expected> findings;
  DWORD exitCode;
  EnvOverrides env = {};
  std::vector<std::string> policy = {};  // the Group Policy in force while the checker runs
};
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

// Four lines that need no finding: a server and a stored away set.
const std::string kBase = "[connection]\r\nserver=127.0.0.1\r\n[awayinternetsettings]\r\nawayhomepage=about:blank\r\n";

std::string Sample() {
  std::string content;
  if (std::FILE* file = std::fopen(WindowsPathOfUnixPath(KESTEL_SAMPLE_INI).c_str(), "rb")) {
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, got);
    std::fclose(file);
  }
  return content;
}

std::string ProgramNames(int count) {
  std::string lines;
  char line[32];
  for (int i = 0; i < count; ++i) lines += (std::snprintf(line, sizeof line, "p%04d=cmd\r\n", i), line);
  return lines;
}

// UTF-8 text as a UTF-16LE file, behind its byte-order mark.
std::string Utf16Le(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                           wide.data(), static_cast<int>(wide.size()))));
  std::string bytes = "\xFF\xFE";
  for (const wchar_t unit : wide) bytes.append({static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
  return bytes;
}

std::vector<Row> Rows() {
  std::string bytes;  // every byte but zero
  for (int i = 1; i < 256; ++i) bytes += static_cast<char>(i);
  return {
      {"SampleBesideTheChecker", Sample(), "", {{26, "note", "password is stored in plain text"}}, 0},
      {"NoFile", std::nullopt, "", {{0, "error", "no such file: Kestel stops with"}}, 2},
      {"Directory", kBase, ".", {{0, "error", "a directory, not a file"}}, 2},
      {"UsualMistakes",
       "[connection]\r\nserver=127.0.0.1\r\nserver=10.0.0.9\r\nsever=x\r\n[awayinternetsettings]\r\n"
       "awayhomepage=about:blank\r\nawayproxyenabled=on\r\n[SCRIPTS]\r\nshowmaperrors=yes\r\nHideScripts=\r\n"
       "[mapping]\r\n[localpostscripts]\r\n1=cmd /c echo 100%% done\r\n2=cmd /c echo 50% off\r\n3=" +
           std::string(2040, 'x') + "tail-cut\r\n",
       "kestel.ini",
       {{3, "warning", "\"server\" again (first on line 2): only the first counts"},
        {4, "warning", "never reads \"sever\" in [connection]; did you mean server?"},
        {7, "warning", "awayproxyenabled is \"on\", not a number: Kestel reads it as its default, 0"},
        {9, "warning", "showmaperrors is \"yes\", not a number: Kestel reads it as its default, 0"},
        {10, "warning", "HideScripts is empty, not a number: Kestel reads it as its default, 1"},
        {11, "warning", "never reads section [mapping]; did you mean [mappings]?"},
        {13, "warning", "\"%%\" is not a percent sign"},
        {14, "warning", "\"% off\" opens a placeholder that never closes"},
        {15, "warning",
         "Kestel reads only the first 2047, up to \"...xxxxxxxxxxxxxtail-cu\", and drops the rest, \"t\""}},
       1},
      {"NoConnectionSection",
       "[awayinternetsettings]\r\nawayhomepage=x\r\n[conection]\r\nserver=h\r\n",
       "kestel.ini",
       {{0, "error", "no [connection] section: every run stops with the notice \"No [CONNECTION] or SERVER= line"},
        {3, "warning", "did you mean [connection]?"}},
       2},
      {"ServerMarker",
       "[connection]\r\nserver=NOSERVER\r\n[awayinternetsettings]\r\nawayhomepage=x\r\n",
       "kestel.ini",
       {{2, "error", "server=NOSERVER counts as no server"}},
       2},
      // The reader finds the line without "=" first and stops there: the server on line 3 is never read.
      {"ServerLineWithoutEquals",
       "[connection]\r\nserver\r\nserver=127.0.0.1\r\n[awayinternetsettings]\r\nawayhomepage=x\r\n",
       "kestel.ini",
       {{2, "error", "no server, as this line has no \"=\""},
        {2, "warning", "it also hides the line 3 of the same name"}},
       2},
      {"EmptyServer",
       "[connection]\r\nserver=\r\n[awayinternetsettings]\r\nawayhomepage=x\r\n",
       "kestel.ini",
       {{2, "warning", "server is empty: the probe has no host to ask, so every run is away"}},
       1},
      {"FollowFlags",
       kBase + "[SCRIPTS]\r\nfollow=yes\r\nfollowprograms=1\r\n",
       "kestel.ini",
       {{6, "warning", "follow is \"yes\", not a number: Kestel reads it as its default, 0"}},
       1},
      {"Mappings",
       kBase + "[mappings]\r\nH=\\\\srv\\h\r\nI:=srv\\i\r\nJ:=\\\\srv\\j\r\nJ:=\\\\srv\\j2\r\n=\\\\srv\\x\r\nK:="
               "\\\\srv\\k\r\n",
       "kestel.ini",
       {{6, "warning", "mapping \"H\" is not a drive: its connection will fail; write H:"},
        {7, "warning", "the target of I: is \"srv\\i\", not a UNC path"},
        {9, "warning", "\"J:\" again (first on line 8): only the first counts, and Kestel maps J: twice"},
        {10, "warning",
         "a key without a name ends the key list of [mappings]: Kestel never reads this line or the 1 key"}},
       1},
      // 2730 names of six bytes fill 16,380 of the 16,384; the platform cuts the next to what still fits.
      {"KeyListOverflows",
       kBase + "[localpostscripts]\r\n" + ProgramNames(3000),
       "kestel.ini",
       {{2736, "warning", "Kestel reads \"p2730\" cut short to \"p2\""},
        {2737, "warning", "never reads this key or the 268 keys after it, up to line 3005"}},
       1},
      {"Placeholders",
       kBase + "[mappings]\r\nH:=\\\\srv\\%DEPT%\\% nosuch %\r\n[awaypostscripts]\r\n1=run %InternalUserName%\r\n",
       "kestel.ini",
       {{6, "note", "\"% nosuch %\" gives nothing: NOSUCH is not set in the checker's environment"},
        {8, "warning", "\"%InternalUserName%\" gives nothing in [awaypostscripts]"}},
       1,
       {{"DEPT", "sales"}, {"NOSUCH", std::nullopt}}},
      {"AwaySetAndProtectedPassword",
       "[connection]\r\nserver=h\r\n[user]\r\npassword={protected}QUJD\r\n",
       "kestel.ini",
       {{0, "note", "no awayhomepage in [awayinternetsettings]: the next run captures"},
        {4, "note", "the password is stored protected"}},
       0},
      {"ScriptsAndAutoDetect",
       kBase + "awayautoconfigurl=file://c:/"
               "p.pac\r\nawayautodetect=yes\r\n[localinternetsettings]\r\nlocalautoconfigurl=\r\n"
               "localautodetect=1\r\nlocalautoconfigurl=https://pac/\r\n[SCRIPTS]\r\nallconnections=on\r\n",
       "kestel.ini",
       {{5, "warning", "awayautoconfigurl is \"file://c:/p.pac\", not an http:// or https:// address: Kestel does not"},
        {6, "warning", "awayautodetect is \"yes\", not a number: Kestel reads it as missing: \"Automatically detect"},
        {10, "warning", "\"localautoconfigurl\" again (first on line 8): only the first counts"},
        {12, "warning", "allconnections is \"on\", not a number: Kestel reads it as its default, 0"}},
       1},
      {"Layout",
       "stray=1\r\n" + kBase +
           "; comment=1\r\n[mappings\r\nH:=\\\\s\\h\r\n[awaypostscripts]\r\n[AwayPostScripts]\r\n[]\r\n",
       "kestel.ini",
       {{1, "warning", "\"stray\" stands before the first section"},
        {7, "warning",
         "no \"]\" closes this section header: Kestel skips the line, and the keys after it stay in "
         "[awayinternetsettings]"},
        {8, "warning", "never reads \"H:\" in [awayinternetsettings]"},
        {10, "warning", "[AwayPostScripts] again (first on line 9)"},
        {11, "warning", "a section without a name"}},
       1},
      {"Utf16",
       "\xFF\xFE[\0c\0]\0"s,
       "kestel.ini",
       {{0, "error", "no [connection] section"},
        {0, "note", "no awayhomepage"},
        {1, "warning", "never reads section [c]"}},
       2},
      // Read whole, and told in UTF-8 on a redirected output.
      {"Utf16WithCyrillic",
       Utf16Le(kBase + "[\xD0\x96\xD1\x83\xD0\xBA]\r\n"),
       "kestel.ini",
       {{5, "warning", "Kestel never reads section [\xD0\x96\xD1\x83\xD0\xBA]"}},
       1},
      {"Utf16BigEndian", "\xFE\xFF\0[\0c\0]"s, "kestel.ini", {{0, "error", "a UTF-16 big-endian file"}}, 2},
      {"Utf8BrokenInOnePlace",
       kBase + "[mappings]\r\nH:=\\\\srv\\B\xC3\xBCro\r\nI:=\\\\srv\\B\xFCro\r\n",
       "kestel.ini",
       {{7, "warning", "not valid UTF-8 here, so Kestel reads the whole file as code page 1252"}},
       1},
      {"ZeroByte",
       kBase + "[x]\r\na=b\0c\r\n"s,
       "kestel.ini",
       {{6, "error", "a zero byte: Kestel refuses to write"}},
       2},
      {"Binary", kBase + bytes, "kestel.ini", {{5, "error", "a control byte (0x01): this is not a text file"}}, 2},
      // Where each value comes from, for the user who runs the checker on this machine.
      {"PolicyOverTheFile",
       "[connection]\r\nserver=127.0.0.1\r\n[mappings]\r\nX:=\\\\f\\x\r\n" + kBase.substr(kBase.find("[away")),
       "",
       {{0, "warning", "HKLM\\Software\\Policies\\Kestel\\SCRIPTS\\follow is REG_SZ, not REG_DWORD"},
        {0, "warning", "HKCU\\Software\\Policies\\Kestel\\user\\password is ignored"},
        {2, "note",
         "overridden by machine policy HKLM\\Software\\Policies\\Kestel\\connection\\server: Kestel uses \"10.9.9.9\""},
        {3, "note",
         "replaced by the list of machine policy HKLM\\Software\\Policies\\Kestel\\mappings (2 entries: H:, S:)"}},
       1,
       {},
       {"U connection\\server=user-srv", "M connection\\server=10.9.9.9", "M mappings\\S:=\\\\pol\\s",
        "M mappings\\H:=\\\\pol\\h", "M SCRIPTS\\follow=1", "U user\\password=policy-secret"}},
      {"NoFileWherePolicyNamesTheServer",
       std::nullopt,
       "",
       {{0, "note",
         "no such file, but user policy names the server (HKCU\\Software\\Policies\\Kestel\\connection\\server)"},
        {0, "note", "server comes from user policy HKCU\\Software\\Policies\\Kestel\\connection\\server: \"home\""}},
       0,
       {},
       {"U connection\\server=home"}},
      {"FileOnlyKeepsPolicyOut",
       "[awayinternetsettings]\r\nawayhomepage=x\r\n",
       "/FileOnly",
       {{0, "error", "no [connection] section: every run stops"}},
       2,
       {},
       {"M connection\\server=10.9.9.9"}},
      {"LineOfOneMegabyte",
       kBase + "[localpostscripts]\r\n1=" + std::string(1 << 20, 'x'),
       "kestel.ini",
       {{6, "warning", "the value of \"1\" is 1048576 characters long"}},
       1},
  };
}

std::string Counted(std::size_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

class CheckSettingsFile : public ::testing::TestWithParam<Row> {};

TEST_P(CheckSettingsFile, PrintsEachFindingAndEndsWithTheWorstSeverity) {
  const Row& row = GetParam();
  const PolicyValues policy(row.policy);
  const Sandbox sandbox;
  ASSERT_TRUE(CopyFileA((ToolsDir() + "kestel-check.exe").c_str(), sandbox.PathOf("kestel-check.exe").c_str(), FALSE));
  if (row.ini) sandbox.WriteIni(*row.ini);

  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  driver::UniqueHandle output(CreateFileA(sandbox.PathOf("check.out").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(output.get(), INVALID_HANDLE_VALUE);
  StartOptions options{row.env, sandbox.Dir(), row.arguments, output.get()};
  Process checker = StartProgram(sandbox.PathOf("kestel-check.exe"), options);
  output.reset();
  EXPECT_EQ(checker.WaitExit(), std::optional<DWORD>(row.exitCode));

  const std::string path =
      *row.arguments != '\0' && *row.arguments != '/' ? row.arguments : sandbox.PathOf("kestel.ini");
  const std::vector<std::string> lines = sandbox.ReadLines("check.out");
  ASSERT_EQ(lines.size(), row.findings.size() + 1) << ::testing::PrintToString(lines);
  std::size_t counts[3] = {};
  for (std::size_t i = 0; i < row.findings.size(); ++i) {
    const Expected& expected = row.findings[i];
    const std::string head = path + ":" + std::to_string(expected.line) + ": " + expected.severity + ": ";
    EXPECT_TRUE(lines[i].starts_with(head) && lines[i].find(expected.text) != std::string::npos)
        << lines[i] << "\nexpected: " << head << "..." << expected.text << "...";
    ++counts[*expected.severity == 'e' ? 0 : *expected.severity == 'w' ? 1 : 2];
  }
  for (const std::string& line : lines) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
  EXPECT_EQ(lines.back(), "checked " + path + ": " + Counted(counts[0], "error") + ", " +
                              Counted(counts[1], "warning") + ", " + Counted(counts[2], "note"));
}

INSTANTIATE_TEST_SUITE_P(Files, CheckSettingsFile, ::testing::ValuesIn(Rows()), CaseName);

}  // namespace
}  // namespace kestel::e2e
