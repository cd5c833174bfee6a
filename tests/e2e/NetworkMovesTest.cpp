// Moving the laptop from a test (NetworkMoves.h) is what kestel.exe sees: its home server answers
// while the laptop holds its address on the moving network, and cannot be reached while it does not.
#include <gtest/gtest.h>

#include <string>

#include "Harness.h"
#include "NetworkMoves.h"

namespace kestel::e2e {
namespace {

TEST(NetworkMoves, KestelDecidesWhereTheLaptopIsNow) {
  if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: scripts/test.sh sets them up";
  MovingNetwork network;
  Sandbox sandbox;
  sandbox.WriteIni(
      std::string("[connection]\r\nserver=") + MovingNetwork::kHomeServer +
      "\r\n[user]\r\nusername=u\r\npassword=p\r\n[localpostscripts]\r\n1=" + sandbox.RecordArgsCommand("home.log") +
      "\r\n[awaypostscripts]\r\n1=" + sandbox.RecordArgsCommand("away.log") + "\r\n");
  struct Step {
    void (MovingNetwork::*move)();
    const char* log;  // the one of the two that the run adds to
  };
  for (const Step& step :
       {Step{&MovingNetwork::TakeAddressAway, "away.log"}, Step{&MovingNetwork::GiveAddressBack, "home.log"}}) {
    SCOPED_TRACE(step.log);
    (network.*step.move)();
    sandbox.Remove("home.log");
    sandbox.Remove("away.log");
    Process process = sandbox.Start();
    const RunOutcome outcome = RunToEnd(process);
    EXPECT_FALSE(outcome.box) << outcome.box->text;
    EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
    for (const char* log : {"home.log", "away.log"})
      EXPECT_EQ(sandbox.ReadRecords(log).value_or(std::vector<testing::RecordedStart>{}).size(),
                std::string(log) == step.log ? 1u : 0u)
          << log;
  }
}

}  // namespace
}  // namespace kestel::e2e
