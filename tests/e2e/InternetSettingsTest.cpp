// The proxy and start page through whole runs of kestel.exe: captured on the first run, applied on
// every later one, the local set after the away set at home, a capture the settings file refuses,
// and the notice to running programs through the stand-in wininet.dll in the system folder, never
// through one beside kestel.exe. Each test puts the user's values back as it found them.
#include <gtest/gtest.h>
#include <winsock2.h>

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
  // as "OPTION PROXY-IN-FORCE RESULT": the connection's options (75) go before the registry values,
  // programs are told (39, 37) after them.
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
    // Each connection's options go in a buffer; the notices come without one.
    const bool perConnection = call.Number("option") == 75u;
    EXPECT_TRUE(call.IsNull("handle") && call.IsNull("buffer") != perConnection &&
                (call.Number("length") == 0u) != perConnection);
    told.push_back(call.Text("option").value_or("?") + " " + call.Text("proxy_server").value_or("null") + " " +
                   call.Text("result").value_or("?"));
  }
  EXPECT_EQ(told, row.told);
}

const std::string kAwayIni = "[connection]\r\nserver=kestel-home.invalid\r\n" + kStoredSets;
INSTANTIATE_TEST_SUITE_P(
    InternetSettingsRun, RunningProgramsTold,
    ::testing::Values(
        NoticeRow{"NotBeforeTheAwayStep", std::nullopt, {}},
        NoticeRow{"NotAfterACapture", "[connection]\r\nserver=kestel-home.invalid\r\n", {"attach"}},
        NoticeRow{
            "AfterTheAwaySet", kAwayIni, {"attach", "75 127.0.0.5:80 1", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0"}},
        NoticeRow{"AfterTheAwayAndTheLocalSet",
                  "[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\npassword=pw\r\n" + kStoredSets,
                  {"attach", "75 127.0.0.5:80 1", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0", "75 127.0.0.7:8080 1",
                   "39 127.0.0.9:3128 1", "37 127.0.0.9:3128 0"}},
        NoticeRow{"ThroughTheSystemFoldersLibraryNotOneBesideTheProgram",
                  kAwayIni,
                  {"attach", "75 127.0.0.5:80 1", "39 127.0.0.7:8080 1", "37 127.0.0.7:8080 0"},
                  true}),
    CaseName);

// One loopback listener is both the proxy and the site: a request that came through the proxy names
// the whole URL on its request line, one that went direct names only the path.
std::string RequestLineVia(SOCKET listener, Process& fetch) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval timeout{static_cast<long>(kExitTimeout.count() / 1000), 0};
  if (select(0, &ready, nullptr, nullptr, &timeout) != 1) return "nothing";
  const SOCKET client = accept(listener, nullptr, nullptr);
  std::string request;
  char chunk[1024];
  for (int got; request.find("\r\n\r\n") == std::string::npos && (got = recv(client, chunk, sizeof chunk, 0)) > 0;)
    request.append(chunk, static_cast<std::size_t>(got));
  const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  send(client, answer, sizeof answer - 1, 0);
  closesocket(client);
  EXPECT_EQ(fetch.WaitExit(), std::optional<DWORD>(0));
  return request.substr(0, request.find("\r\n"));
}

struct ProxyRow {
  const char* name;
  const char* server;  // 127.0.0.1 is home
  const char* host;    // what the program fetches from, on the listener's port
  bool proxied;
  friend void PrintTo(const ProxyRow& row, std::ostream* os) { *os << row.name; }
};

class ProxyInForce : public ::testing::TestWithParam<ProxyRow> {};

// Wine's wininet reads the values afresh at each InternetOpen; it bypasses loopback only as the list
// says ("<local>" covers names without a dot, not 127.0.0.1). The listener is bound to 127.0.0.1
// alone, so a fetch of 127.0.0.2 that went direct would find no one.
TEST_P(ProxyInForce, ForAProgramStartedAfterTheRun) {
  const ProxyRow& row = GetParam();
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  SavedUserProfile profile;
  Sandbox sandbox;
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{AF_INET, 0, {}, {}};
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_TRUE(bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(listener, 1) == 0 &&
              getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
  const std::string port = std::to_string(ntohs(address.sin_port)), server = "127.0.0.1:" + port;
  sandbox.WriteIni(std::string("[SCRIPTS]\r\nlogfile=run.log\r\nallconnections=1\r\n[connection]\r\nserver=") +
                   row.server +
                   "\r\n[user]\r\nusername=alice\r\npassword=pw\r\n[awayinternetsettings]\r\nawayproxyenabled=0\r\n"
                   "awayproxyserver=" +
                   server +
                   "\r\nawayhomepage=about:blank\r\n[localinternetsettings]\r\nlocalproxyenabled=1\r\n"
                   "localproxyserver=" +
                   server + "\r\nlocalproxyexceptions=<local>;127.0.0.1\r\n");
  Process run = sandbox.Start();
  ASSERT_EQ(run.WaitExit(), std::optional<DWORD>(0));
  StartOptions options;
  options.arguments = std::string("http://") + row.host + ":" + port + "/";
  Process fetch = StartProgram(ToolsDir() + "fetchurl.exe", options);
  EXPECT_EQ(RequestLineVia(listener, fetch), "GET " + (row.proxied ? options.arguments : "/") + " HTTP/1.1");
  closesocket(listener);
  // Wine's per-connection call took the set, and its phonebook lists no entry: the run recorded no refusal.
  for (const std::string& line : sandbox.ReadLines("run.log"))
    EXPECT_EQ(line.find("WARNING"), std::string::npos) << line;
  WSACleanup();
}

INSTANTIATE_TEST_SUITE_P(InternetSettingsProxy, ProxyInForce,
                         ::testing::Values(ProxyRow{"LocalSetSendsToTheProxy", "127.0.0.1", "127.0.0.2", true},
                                           ProxyRow{"LocalSetBypassGoesDirect", "127.0.0.1", "127.0.0.1", false},
                                           ProxyRow{"AwaySetWithTheProxyOffGoesDirect", "kestel-home.invalid",
                                                    "127.0.0.1", false}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
