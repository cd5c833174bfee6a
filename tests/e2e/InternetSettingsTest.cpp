// The proxy and start page through whole runs of kestel.exe: captured on the first run, applied on
// every later one, the local set after the away set at home, a capture the settings file refuses,
// and the notice to running programs through the stand-in wininet.dll in the system folder, never
// through one beside kestel.exe. Each test puts the user's values back as it found them.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

using kestel::testing::Dword;
using kestel::testing::ProfileValues;
using kestel::testing::SavedUserProfile;
using kestel::testing::Sz;

constexpr const char* kTitle = "KESTEL Network Roaming Software";
constexpr const char* kFormClass = "KestelStatusWindow";

const ProfileValues kAwaySet = {Dword(1), Sz("<local>;*.away"), Sz("127.0.0.7:8080"), Sz("http://away.invalid/")};
const ProfileValues kLocalSet = {Dword(0), Sz("<local>"), Sz("127.0.0.9:3128"), Sz("http://intranet.invalid/")};

const std::string kStoredSets =
    "[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayproxyserver=127.0.0.7:8080\r\n"
    "awayproxyexceptions=<local>;*.away\r\nawayhomepage=http://away.invalid/\r\n"
    "[localinternetsettings]\r\nlocalproxyenabled=0\r\nlocalproxyserver=127.0.0.9:3128\r\n"
    "localproxyexceptions=<local>\r\nlocalhomepage=http://intranet.invalid/\r\n";

// Answers the one box the run is expected to show with OK and returns what it said; nullopt when none came.
std::optional<driver::BoxContent> AnswerBox(Process& process, const char* caption) {
  const auto box = driver::WaitForBoxContent(process.Pid(), kStartTimeout, caption);
  if (box) {
    EXPECT_TRUE(driver::PressButton(box->window, "OK"));
  }
  return box;
}

TEST(InternetSettingsRun, FirstRunCapturesEvenWithoutAServerLineAndLaterRunsApply) {
  SavedUserProfile profile;
  profile.Set(kAwaySet);
  Sandbox sandbox;
  sandbox.WriteIni("[SCRIPTS]\r\nshowmaperrors=0\r\n");

  Process first = sandbox.Start();
  const auto notice = AnswerBox(first, kTitle);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->text, "No [CONNECTION] or SERVER= line in KESTEL.INI");
  EXPECT_EQ(first.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(profile.Values(), kAwaySet);
  const std::string captured =
      "[SCRIPTS]\r\nshowmaperrors=0\r\n[awayinternetsettings]\r\nawayproxyenabled=1\r\n"
      "awayproxyexceptions=<local>;*.away\r\nawayproxyserver=127.0.0.7:8080\r\nawayhomepage=http://away.invalid/\r\n";
  EXPECT_EQ(sandbox.ReadIni(), captured);

  // Away from home, a later run puts the stored set back whatever the user changed meanwhile.
  profile.Set({std::nullopt, Sz("changed"), std::nullopt, Sz("http://changed.invalid/")});
  sandbox.WriteIni(captured + "[connection]\r\nserver=kestel-home.invalid\r\n");
  Process second = sandbox.Start();
  EXPECT_EQ(second.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(profile.Values(), kAwaySet);
}

TEST(InternetSettingsRun, AtHomeTheAwaySetIsInForceUntilTheLocalSetReplacesIt) {
  SavedUserProfile profile;
  profile.Set({Dword(1), Sz("old"), Sz("127.0.0.5:80"), Sz("http://old.invalid/")});
  Sandbox sandbox;
  // No credentials: the logon dialog holds the run between the two steps.
  sandbox.WriteIni("[connection]\r\nserver=127.0.0.1\r\n" + kStoredSets);

  Process process = sandbox.Start();
  std::optional<HWND> form;
  ASSERT_TRUE(driver::WaitUntil(
      [&] {
        form = driver::FindWindowOf(process.Pid(), kFormClass);
        return form && driver::FindChild(*form, "Static", "Please provide logon details for 127.0.0.1");
      },
      kStartTimeout))
      << "the logon dialog did not appear";
  EXPECT_EQ(profile.Values(), kAwaySet);

  const std::vector<HWND> edits = [&] {
    std::vector<HWND> found;
    for (HWND child : driver::Children(*form))
      if (lstrcmpiA(driver::ClassNameOf(child).c_str(), "Edit") == 0) found.push_back(child);
    return found;
  }();
  ASSERT_EQ(edits.size(), 2u);
  ASSERT_TRUE(driver::SetText(edits[0], "alice"));
  ASSERT_TRUE(driver::SetText(edits[1], "s3cret"));
  ASSERT_TRUE(driver::PressButton(*form, "Logon"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(profile.Values(), kLocalSet);
}

TEST(InternetSettingsRun, ACaptureTheSettingsFileRefusesEndsInTheErrorBoxAndChangesNothing) {
  SavedUserProfile profile;
  profile.Set(kAwaySet);
  Sandbox sandbox;
  const std::string ini = "[connection]\r\nserver=kestel-home.invalid\r\n";
  sandbox.WriteIni(ini);
  {
    // Held open with a share mode that lets others read but not write.
    const driver::UniqueHandle held(CreateFileA(sandbox.PathOf("kestel.ini").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    Process process = sandbox.Start();
    const auto box = AnswerBox(process, "Application Error");
    ASSERT_TRUE(box) << "no error box appeared";
    EXPECT_NE(box->text.find("Unable to write to " + sandbox.PathOf("kestel.ini")), std::string::npos) << box->text;
    EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(1));
  }
  EXPECT_EQ(profile.Values(), kAwaySet);
  EXPECT_EQ(sandbox.ReadIni(), ini);
}

// The stand-in wininet.dll is in the system folder (scripts/test.sh puts it there). A copy of it
// beside kestel.exe must never be loaded: it would record its own path on attach.
std::string SystemFolderCopy() {
  char folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, length) + "\\wininet.dll";
}

struct NoticeRow {
  const char* name;
  std::optional<std::string> ini;  // nullopt: no kestel.ini
  // "attach" when the system folder's wininet was loaded, "attach PATH" for another copy; each call
  // as "OPTION PROXY-IN-FORCE RESULT".
  std::vector<std::string> told;
  bool copyBesideTheProgram = false;
  friend void PrintTo(const NoticeRow& row, std::ostream* os) { *os << row.name; }
};

class RunningProgramsTold : public ::testing::TestWithParam<NoticeRow> {};

TEST_P(RunningProgramsTold, AfterEachSetWrittenAndOnlyThen) {
  const NoticeRow& row = GetParam();
  SavedUserProfile profile;
  profile.Set({Dword(0), Sz(""), Sz("127.0.0.5:80"), Sz("about:blank")});
  Sandbox sandbox;
  if (row.ini) sandbox.WriteIni(*row.ini);
  if (row.copyBesideTheProgram) {
    ASSERT_TRUE(CopyFileA(SystemFolderCopy().c_str(), sandbox.PathOf("wininet.dll").c_str(), TRUE));
  }
  StartOptions options;
  options.env = {{"KESTEL_WININET_LOG", sandbox.PathOf("wininet.log")}};
  Process process = sandbox.Start(options);
  if (!row.ini) {
    EXPECT_TRUE(AnswerBox(process, kTitle));
  }
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));

  const auto calls = testing::mpr::ParseLog(sandbox.ReadFile("wininet.log").value_or(""));
  ASSERT_TRUE(calls.has_value());
  std::vector<std::string> told;
  for (const testing::mpr::Call& call : *calls) {
    if (call.function == "DllMain") {
      const std::string module = call.Text("module").value_or("?");
      told.push_back(call.Text("reason").value_or("?") +
                     (lstrcmpiA(module.c_str(), SystemFolderCopy().c_str()) == 0 ? "" : " " + module));
      continue;
    }
    EXPECT_TRUE(call.IsNull("handle") && call.IsNull("buffer") && call.Number("length") == 0u);
    told.push_back(call.Text("option").value_or("?") + " " + call.Text("proxy_server").value_or("null") + " " +
                   call.Text("result").value_or("?"));
  }
  EXPECT_EQ(told, row.told);
}

const std::string kAwayIni = "[connection]\r\nserver=kestel-home.invalid\r\n" + kStoredSets;
INSTANTIATE_TEST_SUITE_P(
    InternetSettingsRun, RunningProgramsTold,
    ::testing::Values(NoticeRow{"NotBeforeTheAwayStep", std::nullopt, {}},
                      NoticeRow{"NotAfterACapture", "[connection]\r\nserver=kestel-home.invalid\r\n", {}},
                      NoticeRow{"AfterTheAwaySet", kAwayIni, {"attach", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0"}},
                      NoticeRow{"AfterTheAwayAndTheLocalSet",
                                "[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\npassword=pw\r\n" +
                                    kStoredSets,
                                {"attach", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0", "39 127.0.0.9:3128 1",
                                 "37 127.0.0.9:3128 0"}},
                      NoticeRow{"ThroughTheSystemFoldersLibraryNotOneBesideTheProgram",
                                kAwayIni,
                                {"attach", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0"},
                                true}),
    CaseName);

}  // namespace
}  // namespace kestel::e2e
