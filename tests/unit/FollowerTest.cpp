// What a switch while following does, over the recording run host and a scripted clock and network:
// the laptop moves at 10 s, and the follower is stopped at 60 s.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <utility>

#include "follow/Follower.h"
#include "tests/unit/RecordingHost.h"

namespace kestel {
namespace {

using testing::Log;
using testing::RecordingHost;

class ScriptedFollowHost final : public FollowHost {
 public:
  FollowTime Now() override { return now_; }
  FollowEvents WaitUntil(FollowTime deadline) override {
    if (!first.Empty()) return std::exchange(first, {});
    if (StopPending()) return {FollowEvent::SessionEnded};
    now_ = std::min(std::max(now_, deadline), FollowTime{60000});
    return now_ == FollowTime{60000} ? FollowEvents{FollowEvent::StopCommand} : FollowEvents{};
  }
  std::optional<std::string> TakeFingerprint() override { return now_ < FollowTime{10000} ? "here" : "moved"; }
  std::string TimeOfDay() override { return "12:00"; }
  void ShowTip(const std::string& tip) override { tips.push_back(tip); }
  bool StopPending() override { return sessionEnded != nullptr && *sessionEnded; }
  Log tips;
  FollowEvents first;                  // what the first wait returns, at once
  const bool* sessionEnded = nullptr;  // the run host's, which ends the session in a request

 private:
  FollowTime now_{0};
};

// What a row puts into kestel.ini beyond what every row does.
enum Extra { kUser = 1, kPassword = 2, kAwaySet = 4, kPrograms = 8, kSecondDrive = 16, kFollowOff = 32 };
constexpr int kEndInProbe = 64;  // no line: the session ends while the probe waits

struct Row {
  const char* name;
  Place inForce;
  bool answers;  // the server, after the move
  int extras;
  const char* requests;  // the host's, but the probes
  const char* events;    // the record's, but the follower's own
  int registryWrites;
  const char* share = "";  // a share whose mapping returns mapResult
  std::uint32_t mapResult = 0;
  std::function<void(RecordingHost&)> setUp = {};
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

const struct {
  int extra;  // 0: in every row
  const char *section, *key, *value;
} kIni[] = {{kFollowOff, "SCRIPTS", "follow", "0"},  // the first of a key counts
            {0, "SCRIPTS", "follow", "1"},
            {0, "connection", "server", "srv"},
            {0, "mappings", "H:", "\\\\srv\\%INTERNALUSERNAME%"},
            {0, "localpostscripts", "1", "home.exe %INTERNALUSERNAME%"},
            {0, "awaypostscripts", "1", "away.exe %INTERNALUSERNAME%"},
            {kUser, "user", "username", "alice"},
            {kPassword, "user", "password", "pw"},
            {kAwaySet, "awayinternetsettings", "awayhomepage", "about:blank"},
            {kPrograms, "SCRIPTS", "followprograms", "1"},
            {kSecondDrive, "mappings", "S:", "\\\\srv\\s"}};

void Add(std::string& list, const std::string& item) {
  list += (list.empty() ? "" : ", ") + item;
}

class FollowerSwitch : public ::testing::TestWithParam<Row> {};

TEST_P(FollowerSwitch, DoesWhatTheSettingsAskAndNoMore) {
  const Row& row = GetParam();
  RecordingHost host;
  host.serverAnswers = row.answers;
  host.mapResults[row.share] = row.mapResult;
  for (const auto& e : kIni)
    if ((row.extras & e.extra) == e.extra) host.profile.Set(e.section, e.key, e.value);
  if (row.setUp) row.setUp(host);
  ScriptedFollowHost follow;
  if (row.extras & kEndInProbe) {
    host.sessionEndsIn = [](const Log& requests) { return requests.back().rfind("ping:", 0) == 0; };
    follow.sessionEnded = &host.sessionEnded;
  }
  Follower follower(host, follow, row.inForce, "08:14");
  EXPECT_EQ(follower.Run(), 0);

  std::string requests, events;
  for (const std::string& r : host.log)
    if (r.rfind("ping:", 0) != 0 && r != "registry" && r.rfind("exists:", 0) != 0) Add(requests, r);
  EXPECT_EQ(requests, row.requests);
  for (const std::string& e : host.record.events)
    if (e.find(" follow: ") == std::string::npos) Add(events, e.substr(0, e.find(':')));
  EXPECT_EQ(events, row.events);
  // The follower decides once as it starts: a move while the logon run ended is not missed.
  if (!events.empty()) EXPECT_NE(host.record.events.at(1).find(": following began"), std::string::npos);
  EXPECT_EQ(host.registry.writes, row.registryWrites);
  const char* end = row.extras & kFollowOff    ? "stopped: kestel.ini no longer says follow=1"
                    : row.extras & kEndInProbe ? "stopped: the session ends"
                                               : "stopped by /stop";
  EXPECT_NE(host.record.events.back().find(end), std::string::npos) << host.record.events.back();
  EXPECT_TRUE(host.profile.writes.empty()) << "kestel.ini is never written while following";
  EXPECT_EQ(follow.tips.front(), row.inForce == Place::Home ? "Kestel: home since 08:14" : "Kestel: away since 08:14");
  if (RefusesCredentials(row.mapResult))
    EXPECT_EQ(follow.tips.back(), "Kestel: home since 12:00, H: waits for a new password");
}

const Row kRows[] = {
    {"NoStoredCredentialsNoDrivesNoPrograms", Place::Away, true, kPassword | kPrograms, "internet-changed",
     "INFO switch, INFO local-set, WARNING credentials", 4},
    // Home maps every drive with the stored credentials, without prompting.
    {"ADriveConnectedAlreadyCountsAsMapped", Place::Away, true, kUser | kPassword | kPrograms | kSecondDrive,
     "internet-changed, map:H:|\\\\srv\\alice|alice|pw|0|1, map:S:|\\\\srv\\s|alice|pw|0|1, run:home.exe alice|1|0",
     "INFO switch, INFO local-set, INFO map, INFO program", 4, "\\\\srv\\s", 85},
    {"AFailedDriveKeepsTheProgramsBack", Place::Away, true, kUser | kPassword | kPrograms,
     "internet-changed, map:H:|\\\\srv\\alice|alice|pw|0|1", "INFO switch, INFO local-set, WARNING map", 4,
     "\\\\srv\\alice", 67},
    // Refused credentials are not tried on the next drive either: each try counts against the account.
    {"ARefusedPasswordIsNotTriedOnTheNextDrive", Place::Away, true, kUser | kPassword | kPrograms | kSecondDrive,
     "internet-changed, map:H:|\\\\srv\\alice|alice|pw|0|1", "INFO switch, INFO local-set, WARNING map, WARNING switch",
     4, "\\\\srv\\alice", 1326},
    {"AwayAppliesTheStoredSetAndRunsAwayProgramsWhenAsked", Place::Home, false, kAwaySet | kPrograms,
     "internet-changed, run:away.exe |1|0", "INFO switch, INFO away-set, INFO program", 4},
    {"AwayWithoutAStoredSetCapturesNothing", Place::Home, false, 0, "", "INFO switch, WARNING away-set", 0},
    {"TheDecisionInForceWritesNothing", Place::Home, true, kUser | kPassword, "", "", 0},
    {"EndsOnceKestelIniNoLongerAsksAndDecidesNothing", Place::Away, true, kFollowOff, "", "", 0},
    // Windows may end the process in the middle of the switch's writes.
    {"ASessionEndDuringTheProbeStartsNoSwitch", Place::Away, true, kUser | kPassword | kPrograms | kEndInProbe, "", "",
     0},
    // Read at the decision, not taken over from the logon run: the drives policy lists, with no file.
    {"ThePolicyInForceDecidesAndNeedsNoFile", Place::Away, true, kUser | kPassword,
     "internet-changed, map:P:|\\\\pol\\p|alice|pw|0|1", "INFO switch, INFO local-set, INFO map", 4, "", 0,
     [](RecordingHost& h) {
       h.iniExists = false;
       h.policy.Text(PolicyScope::User, "connection", "server", "srv")
           .Text(PolicyScope::Machine, "mappings", "P:", "\\\\pol\\p");
     }},
};
INSTANTIATE_TEST_SUITE_P(Follow, FollowerSwitch, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RefusedCredentials, AreThoseTheSameCredentialsCannotGetPast) {
  // A wrong password, a logon failure, a locked account, a session under other credentials.
  for (const std::uint32_t result : {86u, 1326u, 1909u, 1219u}) EXPECT_TRUE(RefusesCredentials(result)) << result;
  // Success and the network's failures; a provider's own reason; an expired, disabled or to-be-changed
  // account, which the server says once it has taken the password.
  for (const std::uint32_t result : {0u, 53u, 67u, 85u, 1203u, 1222u, 1208u, 1330u, 1331u, 1907u})
    EXPECT_FALSE(RefusesCredentials(result)) << result;
}

// Events that come at once are handled one by one, each followed by whatever falls due: a stop must
// not wait behind a check's probe, nor a run's set be recorded once the follower is stopping.
TEST(FollowerEvents, AStopGoesBeforeWhateverCameWithIt) {
  const struct {
    FollowEvents events;
    const char* end;
  } cases[] = {
      {{FollowEvent::CheckCommand, FollowEvent::StopCommand}, "stopped by /stop"},
      {{FollowEvent::AwaySetByARun, FollowEvent::Unlocked, FollowEvent::StopChosen}, "stopped by \"Stop following\""},
      {{FollowEvent::StopChosen, FollowEvent::StopCommand, FollowEvent::SessionEnded}, "stopped: the session ends"},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    for (const auto& e : kIni)
      if (e.extra == 0) host.profile.Set(e.section, e.key, e.value);
    ScriptedFollowHost follow;
    follow.first = c.events;
    Follower follower(host, follow, Place::Home, "08:14");
    EXPECT_EQ(follower.Run(), 0);
    for (const std::string& r : host.log) EXPECT_NE(r.rfind("ping:", 0), 0u) << c.end;
    ASSERT_EQ(host.record.events.size(), 2u) << c.end << ": the start and the end, nothing between";
    EXPECT_NE(host.record.events.back().find(c.end), std::string::npos) << host.record.events.back();
  }
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
