// Whole runs of kestel.exe with Group Policy values in the registry of the prefix, through the 64-bit
// view: policy over a kestel.ini that says otherwise, no kestel.ini at all, the machine over the user,
// and credentials in policy, which are never used.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../tools/MprLog.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;
using Value = PolicyValues::Value;
constexpr bool kMachine = true;
constexpr bool kUser = false;

struct Row {
  const char* name;
  std::optional<std::string> ini;  // nullopt: no kestel.ini; "{NAME}": a command that records into NAME
  std::vector<Value> policy;       // "{NAME}" as in ini
  // The provider's calls, "add H: \\srv\h alice s3cret" and "cancel H:", and what else the row looks at.
  std::vector<std::string> driveCalls;
  std::function<void(const Sandbox&)> check;
  friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

std::string WithCommands(std::string text, const Sandbox& sandbox) {
  for (std::size_t open; (open = text.find('{')) != std::string::npos;) {
    const std::size_t close = text.find('}', open);
    const std::string spec = text.substr(open + 1, close - open - 1);
    const std::size_t blank = spec.find(' ');
    text.replace(
        open, close - open + 1,
        sandbox.RecordArgsCommand(spec.substr(0, blank), blank == std::string::npos ? "" : spec.substr(blank + 1)));
  }
  return text;
}

std::vector<std::string> Log(const Sandbox& sandbox) {
  std::vector<std::string> lines = sandbox.ReadLines("run.log");
  for (std::string& line : lines) line = line.substr(std::min(line.size(), line.find(' ', 24) + 1));
  return lines;
}

bool Logged(const Sandbox& sandbox, const std::string& part) {
  for (const std::string& line : Log(sandbox))
    if (line.find(part) != std::string::npos) return true;
  return false;
}

std::vector<std::string> Recorded(const Sandbox& sandbox, const char* log) {
  std::vector<std::string> ends;
  for (const auto& start : sandbox.ReadRecords(log).value_or(std::vector<testing::RecordedStart>{}))
    ends.push_back(start.commandLine.substr(start.commandLine.rfind(' ') + 1));
  return ends;
}

const std::string kStoredAwaySet = "[awayinternetsettings]\r\nawayhomepage=about:blank\r\n";

std::vector<Row> Rows() {
  return {
      {"ServerAndDrivesFromPolicyOverTheFile",
       "[connection]\r\nserver=kestel-home.invalid\r\n[mappings]\r\nX:=\\\\file\\x\r\n[user]\r\nusername=alice\r\n"
       "password=s3cret\r\n[SCRIPTS]\r\nlogfile=run.log\r\n" +
           kStoredAwaySet,
       {PolicyValues::Sz(kMachine, "connection", "server", "127.0.0.1"),
        PolicyValues::Sz(kMachine, "mappings", "S:", "\\\\pol\\s"),
        PolicyValues::Sz(kMachine, "mappings", "H:", "\\\\pol\\h")},
       {"cancel H:", "cancel S:", "add H: \\\\pol\\h alice s3cret", "add S: \\\\pol\\s alice s3cret"},
       [](const Sandbox& sandbox) {
         EXPECT_TRUE(Logged(sandbox,
                            "INFO policy: from machine policy: connection\\server=\"127.0.0.1\", "
                            "mappings\\H:=\"\\\\pol\\h\", mappings\\S:=\"\\\\pol\\s\""));
         EXPECT_TRUE(Logged(sandbox, "INFO end: home run complete"));
       }},
      // The capture makes the file: UTF-8 without a mark, and nothing policy sets.
      {"NoFileWherePolicyNamesTheServer",
       std::nullopt,
       {PolicyValues::Sz(kUser, "connection", "server", "kestel-home.invalid"),
        PolicyValues::Sz(kMachine, "awayinternetsettings", "awayproxyserver", "127.0.0.8:3128"),
        PolicyValues::Sz(kUser, "SCRIPTS", "logfile", "run.log"),
        PolicyValues::Sz(kMachine, "awaypostscripts", "1", "{away.log ran}")},
       {},
       [](const Sandbox& sandbox) {
         EXPECT_EQ(Recorded(sandbox, "away.log"), std::vector<std::string>{"ran"});
         const std::string ini = sandbox.ReadIni().value_or("");
         EXPECT_FALSE(ini.starts_with("\xEF\xBB\xBF")) << ini;
         EXPECT_NE(ini.find("awayhomepage="), std::string::npos) << ini;
         for (const char* policyKey : {"server=", "logfile", "postscripts", "[connection]"})
           EXPECT_EQ(ini.find(policyKey), std::string::npos) << policyKey << " in\n" << ini;
         EXPECT_TRUE(Logged(sandbox, "is not there: policy names the server"));
         EXPECT_TRUE(Logged(sandbox, "INFO end: away run complete"));
       }},
      {"MachineOverUserAndAListInItsNumbersOrder",
       "[connection]\r\nserver=127.0.0.1\r\n[awaypostscripts]\r\n1={file.log}\r\n" + kStoredAwaySet,
       {PolicyValues::Sz(kUser, "connection", "server", "127.0.0.1"),
        PolicyValues::Sz(kMachine, "connection", "server", "kestel-home.invalid"),
        PolicyValues::Sz(kUser, "awaypostscripts", "1", "{user.log}"),
        PolicyValues::Sz(kMachine, "awaypostscripts", "10", "{machine.log last}"),
        PolicyValues::Sz(kMachine, "awaypostscripts", "2", "{machine.log first}")},
       {},
       [](const Sandbox& sandbox) {
         EXPECT_EQ(Recorded(sandbox, "machine.log"), (std::vector<std::string>{"first", "last"}));
         EXPECT_FALSE(sandbox.ReadFile("user.log"));
         EXPECT_FALSE(sandbox.ReadFile("file.log"));
       }},
      {"APasswordInPolicyIsToldAndNeverUsed",
       "[connection]\r\nserver=127.0.0.1\r\n[mappings]\r\nH:=\\\\srv\\h\r\n[user]\r\nusername=alice\r\n"
       "password=s3cret\r\n[SCRIPTS]\r\nlogfile=run.log\r\n" +
           kStoredAwaySet,
       {PolicyValues::Sz(kMachine, "user", "password", "p0licy-pw"),
        PolicyValues::Sz(kUser, "user", "username", "mallory")},
       {"cancel H:", "add H: \\\\srv\\h alice s3cret"},
       [](const Sandbox& sandbox) {
         EXPECT_TRUE(Logged(sandbox, "WARNING policy: HKCU\\Software\\Policies\\Kestel\\user\\username is ignored"));
         EXPECT_TRUE(Logged(sandbox, "WARNING policy: HKLM\\Software\\Policies\\Kestel\\user\\password is ignored"));
         for (const std::string& line : Log(sandbox)) EXPECT_EQ(line.find("p0licy-pw"), std::string::npos) << line;
       }},
  };
}

class PolicyRun : public ::testing::TestWithParam<Row> {};

TEST_P(PolicyRun, TakesWhatIsInForce) {
  const Row& row = GetParam();
  const Sandbox sandbox;
  std::vector<Value> policy = row.policy;
  for (Value& value : policy) value.text = WithCommands(value.text, sandbox);
  const PolicyValues inForce(policy);
  if (row.ini) sandbox.WriteIni(WithCommands(*row.ini, sandbox));

  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf("mpr.log")}, {"KESTEL_MPR_RULES", "cancel:*=2250"}};
  Process process = sandbox.Start(options);
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << outcome.box->caption << ": " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));

  std::vector<std::string> calls;
  for (const mpr::Call& call :
       mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or("")).value_or(std::vector<mpr::Call>{}))
    calls.push_back(call.function == mpr::kCancelConnection
                        ? "cancel " + call.Text("name").value_or("")
                        : "add " + call.Text("local").value_or("") + " " + call.Text("remote").value_or("") + " " +
                              call.Text("user").value_or("") + " " + call.Text("password").value_or(""));
  EXPECT_EQ(calls, row.driveCalls);
  row.check(sandbox);
}

INSTANTIATE_TEST_SUITE_P(Policy, PolicyRun, ::testing::ValuesIn(Rows()), CaseName);

}  // namespace
}  // namespace kestel::e2e
