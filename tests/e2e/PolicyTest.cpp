// Whole runs of kestel.exe with Group Policy values in the registry of the prefix, through the 64-bit
// view: policy over a kestel.ini that says otherwise, the machine's over the user's, credentials in
// policy never used, and no kestel.ini at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;

// The drives a run to its end with the policy in force adds: "H: \\srv\h alice s3cret".
std::vector<std::string> RunWith(const Sandbox& sandbox, const std::vector<std::string>& policy) {
  const PolicyValues inForce(policy);
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf("mpr.log")}, {"KESTEL_MPR_RULES", "cancel:*=2250"}};
  Process process = sandbox.Start(options);
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << outcome.box->caption << ": " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  std::vector<std::string> adds;
  for (const mpr::Call& call :
       mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or("")).value_or(std::vector<mpr::Call>{}))
    if (call.function == mpr::kAddConnection)
      adds.push_back(call.Text("local").value_or("") + " " + call.Text("remote").value_or("") + " " +
                     call.Text("user").value_or("") + " " + call.Text("password").value_or(""));
  return adds;
}

TEST(PolicyRun, OverTheFileTheMachinesOverTheUsersAndNeverACredential) {
  const Sandbox sandbox;
  sandbox.WriteIni(
      "[connection]\r\nserver=kestel-home.invalid\r\n[mappings]\r\nX:=\\\\file\\x\r\n[user]\r\nusername=alice\r\n"
      "password=s3cret\r\n[SCRIPTS]\r\nlogfile=run.log\r\n[awayinternetsettings]\r\nawayhomepage=about:blank\r\n");
  EXPECT_EQ(RunWith(sandbox, {"U connection\\server=kestel-home.invalid", "M connection\\server=127.0.0.1",
                              "U mappings\\U:=\\\\user\\u", "M mappings\\S:=\\\\pol\\s", "M mappings\\H:=\\\\pol\\h",
                              "M user\\password=p0licy-pw", "U user\\username=mallory"}),
            (std::vector<std::string>{"H: \\\\pol\\h alice s3cret", "S: \\\\pol\\s alice s3cret"}));
  const std::string log = sandbox.ReadFile("run.log").value_or("");
  for (const char* line : {"WARNING policy: HKCU\\Software\\Policies\\Kestel\\user\\username is ignored",
                           "WARNING policy: HKLM\\Software\\Policies\\Kestel\\user\\password is ignored"})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  EXPECT_EQ(log.find("p0licy-pw"), std::string::npos);
}

// The capture makes the file, UTF-8 without a mark, with none of the keys policy sets.
TEST(PolicyRun, NoFileWherePolicyNamesTheServer) {
  const testing::SavedUserProfile profile;
  profile.Set({testing::Dword(1), testing::Sz("<local>"), testing::Sz("127.0.0.7:8080"), testing::Sz("http://away/")});
  const Sandbox sandbox;
  EXPECT_EQ(RunWith(sandbox, {"U connection\\server=kestel-home.invalid",
                              "M awayinternetsettings\\awayproxyserver=127.0.0.8:3128", "U SCRIPTS\\logfile=run.log",
                              "M awaypostscripts\\1=" + sandbox.RecordArgsCommand("programs.log")}),
            std::vector<std::string>{});
  EXPECT_EQ(sandbox.ReadRecords("programs.log").value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
  EXPECT_EQ(sandbox.ReadIni(),
            "[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayproxyexceptions=<local>\r\n"
            "awayhomepage=http://away/\r\n");
  EXPECT_NE(sandbox.ReadFile("run.log").value_or("").find("is not there: policy names the server"), std::string::npos);
}

}  // namespace
}  // namespace kestel::e2e
