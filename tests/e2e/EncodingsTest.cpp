// Texts in every encoding kestel.ini comes in, and letters outside the ANSI code page, through whole
// runs at home: what reaches the stand-in network provider, the started program and the registry.
// Every value that is not ASCII holds a Greek letter, outside both code pages the suite is run under
// (1252, and 1251 in the second run of this table), so an A call anywhere on its way shows as a '?'.
// The third run has UTF-8 as the code page (65001), where an older file in 1252 is not valid.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../../ui/ControlIds.h"
#include "../tools/MprLog.h"
#include "../tools/WideText.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;

constexpr const char* kFormClass = "KestelStatusWindow";
constexpr int kDialogHeight = 210;

// What one run is given: the values as UTF-8, put into kestel.ini in the row's encoding.
struct Texts {
  std::string share = {};     // after \\127.0.0.1\ (a placeholder stays as written)
  std::string user = {};      // empty: none in the file, typed into the dialog
  std::string password = {};  // likewise
  std::string argument = {};  // given to the home program
  std::string homePage = {};  // the local set's start page
  std::string comment = {};   // a comment line after [connection]
  bool awayStored = true;     // false: the first run captures the away set into the file
};

// Cp1252: the file an older Kestel's administrator saved on a Western system, whatever the code page
// of the run.
enum class Encoding { Ascii, Ansi, Utf8, Utf8Mark, Utf16Le, Cp1252 };

struct Row {
  const char* name;
  Encoding encoding;
  Texts written;
  EnvOverrides env = {};
  std::string mappedShare = written.share;     // what reaches the provider, after placeholders
  std::string startedWith = written.argument;  // what reaches the program, likewise
  Texts typed = {};                            // user and password typed into the dialog
  const char* programFolder = nullptr;         // kestel.exe in this sub-folder instead of the sandbox
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

std::string Bytes(const std::wstring& wide) {
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

// The system's own code page, or another: the file a user's editor saved in it.
std::string InAnsiCodePage(const std::string& utf8, UINT codePage = CP_ACP) {
  const std::wstring wide = testing::WideOfUtf8(utf8);
  std::string ansi(wide.size() * 4, '\0');
  BOOL lost = FALSE;
  // UTF-8 holds every letter, and Windows refuses to say so: the flag must be null there.
  const bool toUtf8 = (codePage == CP_ACP ? GetACP() : codePage) == CP_UTF8;
  const int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                                         static_cast<int>(ansi.size()), nullptr, toUtf8 ? nullptr : &lost);
  EXPECT_FALSE(lost) << "the row's text must fit the code page";
  ansi.resize(static_cast<std::size_t>(length));
  return ansi;
}

std::string Encoded(Encoding encoding, const std::string& utf8) {
  switch (encoding) {
    case Encoding::Ascii:
    case Encoding::Utf8:
      return utf8;
    case Encoding::Ansi:
      return InAnsiCodePage(utf8);
    case Encoding::Cp1252:
      return InAnsiCodePage(utf8, 1252);
    case Encoding::Utf8Mark:
      return "\xEF\xBB\xBF" + utf8;
    case Encoding::Utf16Le:
      return "\xFF\xFE" + Bytes(testing::WideOfUtf8(utf8));
  }
  return utf8;
}

// [connection] stands first, so that a mark before it is before a section header on line 1.
std::string IniText(const Sandbox& sandbox, const Texts& t) {
  std::string ini = "[connection]\r\nserver=127.0.0.1\r\n";
  if (!t.comment.empty()) ini += "; " + t.comment + "\r\n";
  if (!t.user.empty()) ini += "[user]\r\nusername=" + t.user + "\r\npassword=" + t.password + "\r\n";
  ini += "[mappings]\r\nH:=\\\\127.0.0.1\\" + t.share + "\r\n";
  if (t.awayStored)
    ini +=
        "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyserver=\r\nawayproxyexceptions=\r\n"
        "awayhomepage=about:blank\r\n";
  return ini +
         "[localinternetsettings]\r\nlocalproxyenabled=0\r\nlocalproxyserver=\r\nlocalproxyexceptions=\r\n"
         "localhomepage=" +
         t.homePage +
         "\r\n"
         "[localpostscripts]\r\n1=" +
         sandbox.RecordArgsCommand("args.log", t.argument) + "\r\n";
}

std::optional<std::string> StartPage() {
  wchar_t value[2048];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return testing::Utf8OfWide(value);
}

struct Seen {
  std::optional<DWORD> exitCode;
  std::optional<driver::BoxContent> box;
  bool asked = false;
  std::optional<std::string> remote, user, password;
};

// One run at home; the dialog, if it comes, is typed into with typed's user name and password.
Seen RunAtHome(const Sandbox& sandbox, const Row& row) {
  sandbox.Remove("mpr.log");
  StartOptions options;
  options.env = row.env;
  options.env.emplace_back("KESTEL_MPR_LOG", sandbox.PathOf("mpr.log"));
  options.workingDir = sandbox.Dir();
  Process process = row.programFolder != nullptr
                        ? StartProgram(sandbox.PathOf(std::string(row.programFolder) + "\\kestel.exe"), options)
                        : sandbox.Start(options);
  Seen seen;
  std::optional<HWND> form;
  driver::WaitUntil(
      [&] {
        if (process.WaitExit(Milliseconds{0})) return true;
        if (const auto box = driver::FindBox(process.Pid())) {
          seen.box = driver::ReadBox(*box);
          return true;
        }
        form = driver::FindWindowOf(process.Pid(), kFormClass);
        return form && driver::Visible(*form) && driver::OuterSize(*form).height == kDialogHeight;
      },
      kExitTimeout);
  if (seen.box) return seen;  // the process goes with its Process
  if (process.Running() && form) {
    seen.asked = true;
    EXPECT_TRUE(driver::TypeText(driver::FindChildById(*form, kIdUserName).value_or(nullptr), row.typed.user));
    EXPECT_TRUE(driver::TypeText(driver::FindChildById(*form, kIdPassword).value_or(nullptr), row.typed.password));
    EXPECT_TRUE(driver::PressButton(*form, "Logon"));
  }
  seen.exitCode = process.WaitExit();
  for (const mpr::Call& call :
       mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or("")).value_or(std::vector<mpr::Call>{}))
    if (call.function == mpr::kAddConnection) {
      seen.remote = call.Text("remote");
      seen.user = call.Text("user");
      seen.password = call.Text("password");
    }
  return seen;
}

class TextEncodings : public ::testing::TestWithParam<Row> {};

TEST_P(TextEncodings, ReachTheProviderTheProgramAndTheRegistryWhole) {
  const Row& row = GetParam();
  if (const char* expected = std::getenv("KESTEL_CODE_PAGE")) {
    ASSERT_EQ(std::to_string(GetACP()), expected) << "the locale for this code page is missing (scripts/setup.sh)";
  }
  testing::SavedUserProfile profile;
  Sandbox sandbox;
  const std::string folder = row.programFolder != nullptr ? std::string(row.programFolder) + "\\" : "";
  if (row.programFolder != nullptr) {
    sandbox.MakeDirectory(row.programFolder);
    sandbox.Copy("kestel.exe", folder + "kestel.exe");
    sandbox.Copy("mpr.dll", folder + "mpr.dll");
  }
  const std::string ini = Encoded(row.encoding, IniText(sandbox, row.written));
  sandbox.WriteFile(folder + "kestel.ini", ini);
  const Texts& credentials = row.written.user.empty() ? row.typed : row.written;

  const Seen first = RunAtHome(sandbox, row);
  ASSERT_FALSE(first.box) << first.box->caption << ": " << first.box->text;
  EXPECT_EQ(first.exitCode, std::optional<DWORD>(0));
  EXPECT_EQ(first.asked, row.written.user.empty());
  EXPECT_EQ(first.remote, "\\\\127.0.0.1\\" + row.mappedShare);
  EXPECT_EQ(first.user, credentials.user);
  EXPECT_EQ(first.password, credentials.password);
  const auto starts = sandbox.ReadRecords("args.log").value_or(std::vector<testing::RecordedStart>{});
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_TRUE(starts[0].commandLine.ends_with(" " + row.startedWith)) << starts[0].commandLine;
  EXPECT_EQ(StartPage(), row.written.homePage);
  if (!row.written.awayStored) {  // captured at the end, every line before it as it was
    const std::string after = sandbox.ReadFile("kestel.ini").value_or("");
    EXPECT_TRUE(after.starts_with(ini + "[awayinternetsettings]\r\nawayproxyenabled=0\r\n")) << after;
    EXPECT_NE(after.find("\r\nawayhomepage=", ini.size()), std::string::npos) << after;
  }

  if (!row.written.user.empty()) return;
  // Typed credentials were stored; the next run takes them from the file without asking.
  const Seen next = RunAtHome(sandbox, row);
  ASSERT_FALSE(next.box) << next.box->caption << ": " << next.box->text;
  EXPECT_FALSE(next.asked);
  EXPECT_EQ(next.user, row.typed.user);
  EXPECT_EQ(next.password, row.typed.password);
}

// The ANSI row is in the code page the run finds: ü and € under 1252, Cyrillic and € under 1251.
Texts AnsiTexts() {
  if (GetACP() == 1251) return {"Бюро€", "Пётр", "Пароль€", "Бюро", "http://intranet.invalid/Бюро"};
  return {"Büro€", "jürgen", "Pässwort€", "Büro", "http://intranet.invalid/Büro"};
}

const Texts kAscii{"home", "alice", "s3cret", "plain", "http://intranet.invalid/"};
const Texts kLatin{"Büro-Ω", "jürgen-Ω", "Pässwort-Ω", "Büro-Ω", "http://intranet.invalid/Büro-Ω"};
const Texts kCyrillic{"Общий-Ω", "Пётр-Ω", "Пароль-Ω", "Документы-Ω", "http://intranet.invalid/Документы-Ω"};
const Texts kPlaceholder{"%KESTEL_E2E_DEPT%", "alice", "s3cret", "%KESTEL_E2E_DEPT%", "http://intranet.invalid/"};
const Texts kTypedCyrillic{.user = "Пётр-Ω", .password = "Пароль-Ω€"};
const Texts kAsk{"home", "", "", "plain", "http://intranet.invalid/"};
const Texts kOlderFile{"home", "alice", "s3cret", "plain", "http://intranet.invalid/", "für das Büro", false};

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextEncodings,
    ::testing::Values(Row{.name = "Ascii", .encoding = Encoding::Ascii, .written = kAscii},
                      Row{.name = "AnsiCodePage", .encoding = Encoding::Ansi, .written = AnsiTexts()},
                      Row{.name = "Utf8WithoutMark", .encoding = Encoding::Utf8, .written = kLatin},
                      Row{.name = "Utf8MarkBeforeConnection", .encoding = Encoding::Utf8Mark, .written = kLatin},
                      Row{.name = "Utf16LeCyrillic", .encoding = Encoding::Utf16Le, .written = kCyrillic},
                      Row{.name = "OlderCp1252NoAwaySet", .encoding = Encoding::Cp1252, .written = kOlderFile},
                      Row{.name = "PlaceholderWithCyrillicValue",
                          .encoding = Encoding::Ascii,
                          .written = kPlaceholder,
                          .env = {{"KESTEL_E2E_DEPT", "Отдел-Ω"}},
                          .mappedShare = "Отдел-Ω",
                          .startedWith = "Отдел-Ω"},
                      Row{.name = "TypedCyrillicCredentialsStored",
                          .encoding = Encoding::Ascii,
                          .written = kAsk,
                          .typed = kTypedCyrillic},
                      Row{.name = "ProgramFolderOutsideTheCodePage",
                          .encoding = Encoding::Ascii,
                          .written = kAscii,
                          .programFolder = "Ωμέγα"}),
    CaseName);

}  // namespace
}  // namespace kestel::e2e
