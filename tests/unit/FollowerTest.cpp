// What a switch while following does, over the recording run host and a scripted clock and network:
// the laptop moves at 10 s, and the follower is stopped at 60 s.
#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "app/Follower.h"
#include "tests/unit/RecordingHost.h"

namespace kestel {
namespace {

using testing::Log;
using testing::RecordingHost;

class ScriptedFollowHost final : public FollowHost {
 public:
  FollowTime Now() override { return now_; }
  FollowWake WaitUntil(FollowTime deadline) override {
    for (const auto& [at, wake] : {std::pair{10000, FollowWake::Deadline}, std::pair{60000, FollowWake::StopCommand}})
      if (now_ < FollowTime{at} && deadline >= FollowTime{at}) {
        now_ = FollowTime{at};
        if (at == 10000) network_ = "moved";
        return wake;
      }
    now_ = std::max(now_, deadline);
    return FollowWake::Deadline;
  }
  std::optional<std::string> TakeFingerprint() override { return network_; }
  std::string TimeOfDay() override { return "12:00"; }
  void ShowTip(const std::string& tip) override { tips.push_back(tip); }
  bool StopPending() override { return false; }
  Log tips;

 private:
  FollowTime now_{0};
  std::string network_ = "here";
};

struct Row {
  const char* name;
  Place inForce;
  bool answers;  // the server, after the move
  std::vector<std::vector<std::string>> ini;
  Log requests;  // the host's, but the probes
  Log events;    // the record's, but the follower's own
  int registryWrites;
  std::map<std::string, std::uint32_t> mapResults = {};
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

const std::vector<std::vector<std::string>> kBase = {{"SCRIPTS", "follow", "1"},
                                                     {"connection", "server", "srv"},
                                                     {"mappings", "H:", "\\\\srv\\%INTERNALUSERNAME%"},
                                                     {"localpostscripts", "1", "home.exe %INTERNALUSERNAME%"},
                                                     {"awaypostscripts", "1", "away.exe %INTERNALUSERNAME%"}};
const std::vector<std::string> kUser = {"user", "username", "alice"}, kPassword = {"user", "password", "pw"};
const std::vector<std::string> kAwaySet = {"awayinternetsettings", "awayhomepage", "about:blank"};
const std::vector<std::string> kPrograms = {"SCRIPTS", "followprograms", "1"};

class FollowerSwitch : public ::testing::TestWithParam<Row> {};

TEST_P(FollowerSwitch, DoesWhatTheSettingsAskAndNoMore) {
  const Row& row = GetParam();
  RecordingHost host;
  host.serverAnswers = row.answers;
  host.mapResults = row.mapResults;
  for (const auto& entries : {kBase, row.ini})
    for (const auto& e : entries) host.profile.Set(e[0], e[1], e[2]);
  ScriptedFollowHost follow;
  Follower follower(host, follow, row.inForce, "08:14");
  EXPECT_EQ(follower.Run(), 0);

  Log requests;
  for (const std::string& r : host.log)
    if (r.rfind("ping:", 0) != 0 && r != "registry" && r.rfind("exists:", 0) != 0) requests.push_back(r);
  EXPECT_EQ(requests, row.requests);
  Log events;
  for (const std::string& e : host.record.events)
    if (e.find(" follow: ") == std::string::npos) events.push_back(e.substr(0, e.find(':')));
  EXPECT_EQ(events, row.events);
  // The follower decides once as it starts: a move while the logon run ended is not missed.
  if (!events.empty()) EXPECT_NE(host.record.events.at(1).find(": following began"), std::string::npos);
  EXPECT_EQ(host.registry.writes, row.registryWrites);
  EXPECT_TRUE(host.profile.writes.empty()) << "kestel.ini is never written while following";
  EXPECT_EQ(follow.tips.front(), row.inForce == Place::Home ? "Kestel: home since 08:14" : "Kestel: away since 08:14");
}

INSTANTIATE_TEST_SUITE_P(
    Follow, FollowerSwitch,
    ::testing::Values(
        Row{"NoStoredCredentialsNoDrivesNoPrograms",
            Place::Away,
            true,
            {kPassword, kPrograms},
            {"internet-changed"},
            {"INFO switch", "INFO local-set", "WARNING credentials"},
            4},
        // Home maps every drive with the stored credentials, without prompting.
        Row{"ADriveConnectedAlreadyCountsAsMapped",
            Place::Away,
            true,
            {kUser, kPassword, kPrograms, {"mappings", "S:", "\\\\srv\\s"}},
            {"internet-changed", "map:H:|\\\\srv\\alice|alice|pw|0|1", "map:S:|\\\\srv\\s|alice|pw|0|1",
             "run:home.exe alice|1|0"},
            {"INFO switch", "INFO local-set", "INFO map", "INFO program"},
            4,
            {{"\\\\srv\\s", 85}}},
        Row{"AFailedDriveKeepsTheProgramsBack",
            Place::Away,
            true,
            {kUser, kPassword, kPrograms},
            {"internet-changed", "map:H:|\\\\srv\\alice|alice|pw|0|1"},
            {"INFO switch", "INFO local-set", "WARNING map"},
            4,
            {{"\\\\srv\\alice", 67}}},
        Row{"AwayAppliesTheStoredSetAndRunsAwayProgramsWhenAsked",
            Place::Home,
            false,
            {kAwaySet, kPrograms},
            {"internet-changed", "run:away.exe |1|0"},
            {"INFO switch", "INFO away-set", "INFO program"},
            4},
        Row{"AwayWithoutAStoredSetCapturesNothing", Place::Home, false, {}, {}, {"INFO switch", "WARNING away-set"}, 0},
        Row{"TheDecisionInForceWritesNothing", Place::Home, true, {kUser, kPassword}, {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Follower, EndsOnceKestelIniNoLongerAsksAndDecidesNothing) {
  RecordingHost host;
  host.serverAnswers = true;
  for (const auto& e : kBase) host.profile.Set(e[0], e[1], e[2]);
  host.profile.entries.front().value = "0";
  ScriptedFollowHost follow;
  EXPECT_EQ(Follower(host, follow, Place::Away, "08:14").Run(), 0);
  EXPECT_TRUE(host.Only("ping:").empty());
  EXPECT_EQ(host.record.events.back().substr(0, 57), "INFO follow: stopped: kestel.ini no longer says follow=1,");
}

TEST(FollowerCommand, IsOneWordInAnyCapitalsWithBlanksAround) {
  const std::pair<const char*, FollowerCommand> cases[] = {
      {"/check", FollowerCommand::Check}, {" \t/Check ", FollowerCommand::Check}, {"/STOP", FollowerCommand::Stop},
      {"", FollowerCommand::None},        {"/stop now", FollowerCommand::None},   {"/checks", FollowerCommand::None},
      {"check", FollowerCommand::None},   {"/st op", FollowerCommand::None}};
  for (const auto& [line, command] : cases) EXPECT_EQ(ParseFollowerCommand(line), command) << '"' << line << '"';
}

}  // namespace
}  // namespace kestel
