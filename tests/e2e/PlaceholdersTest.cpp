// Placeholders in the programs and drive targets that kestel.exe runs and maps, filled from the
// environment it was started with and from the run's user name.
#include <gtest/gtest.h>

#include <string>

#include "../tools/MprLog.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

// Under ".invalid", which no resolver may answer: the run goes away at once.
constexpr const char* kAwayServer = "kestel-home-server.invalid";

// Runs kestel.exe in the sandbox to its end and returns what recordargs.exe recorded in log.
std::vector<testing::RecordedStart> RunAndRecord(const Sandbox& box, const StartOptions& options,
                                                 const std::string& log) {
  Process run = box.Start(options);
  const std::optional<DWORD> exitCode = run.WaitExit();
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
  const auto records = box.ReadRecords(log);
  EXPECT_TRUE(records.has_value()) << "the log of recordargs.exe is not in its format";
  return records.value_or(std::vector<testing::RecordedStart>{});
}

TEST(PlaceholdersEndToEnd, AwayProgramsGetTheStartEnvironmentAndNoUserName) {
  const Sandbox box;
  box.WriteIni("[connection]\r\nserver=" + std::string(kAwayServer) +
               "\r\n"
               "[awaypostscripts]\r\n"
               "1=" +
               box.RecordArgsCommand("away.log", "%kestel_e2e_dept%\\docs [%internalusername%] % Kestel_E2E_Dept %") +
               "\r\n"
               "2=" +
               box.RecordArgsCommand("away.log", "%KESTEL_E2E_PCT%%KESTEL_E2E_DEPT% %KESTEL_E2E_UNSET%|") +
               "\r\n"
               "3=" +
               box.RecordArgsCommand("away.log", "tail 50% off") + "\r\n");
  StartOptions options;
  options.env = {{"KESTEL_E2E_DEPT", "sales"}, {"KESTEL_E2E_PCT", "a%b=c"}, {"KESTEL_E2E_UNSET", std::nullopt}};

  const auto records = RunAndRecord(box, options, "away.log");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].commandLine, box.RecordArgsCommand("away.log", "sales\\docs [] sales"));
  // A value is inserted as it is, "%" and "=" included, and never scanned again.
  EXPECT_EQ(records[1].commandLine, box.RecordArgsCommand("away.log", "a%b=csales |"));
  // From an unterminated "%" on, nothing is left.
  EXPECT_EQ(records[2].commandLine, box.RecordArgsCommand("away.log", "tail 50"));
}

TEST(PlaceholdersEndToEnd, AtHomeTheUserNameOfTheSettingsFileFillsDrivesAndPrograms) {
  const Sandbox box;
  box.WriteIni(
      "[connection]\r\nserver=127.0.0.1\r\n"
      "[user]\r\nusername=u1\r\npassword=pw\r\n"
      "[mappings]\r\nX:=\\\\127.0.0.1\\%internalusername%\\%Kestel_E2E_Dept%\r\n"
      "[localpostscripts]\r\n1=" +
      box.RecordArgsCommand("home.log", "home=% InternalUserName % dept=%KESTEL_E2E_DEPT%") + "\r\n");
  StartOptions options;
  options.env = {{"KESTEL_E2E_DEPT", "sales"}, {"KESTEL_MPR_LOG", box.PathOf("mpr.log")}};

  const auto records = RunAndRecord(box, options, "home.log");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].commandLine, box.RecordArgsCommand("home.log", "home=u1 dept=sales"));

  const auto calls = testing::mpr::ReadLog(box.PathOf("mpr.log"));
  ASSERT_TRUE(calls.has_value());
  std::vector<std::string> mapped;
  for (const auto& call : *calls)
    if (call.function == testing::mpr::kAddConnection) mapped.push_back(call.Text("remote").value_or("(null)"));
  EXPECT_EQ(mapped, std::vector<std::string>{"\\\\127.0.0.1\\u1\\sales"});
}

}  // namespace
}  // namespace kestel::e2e
