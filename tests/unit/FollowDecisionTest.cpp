// When the follower probes and when it switches, over a simulated clock, network and home server.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "follow/FollowDecision.h"

namespace kestel {
namespace {

using Ms = FollowTime;

struct Row {
  const char* name;
  Place inForce;
  // In time order, from each of which on the network has a fingerprint ("net:" when it cannot be
  // taken), the server answers or not, or something is reported, e.g. "12000 net:cafe, 21000
  // server:no, 25000 notice, 26000 check". The network starts as "home", the server answering.
  const char* steps;
  // Each probe ("probe@ms:yes|no") and each switch, with its reason.
  const char* expected;
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

// Runs the decider for a minute as a host would: wait until its deadline or the next step, then do
// whatever is due.
std::string Simulate(const Row& row, int& polls) {
  constexpr Ms kEnd{60000};
  std::vector<std::pair<Ms, std::string>> steps;
  std::istringstream in(row.steps);
  for (int at; in >> at;) {
    std::string what;
    in >> what;
    if (what.back() == ',') what.pop_back();
    EXPECT_TRUE(what.rfind("net:", 0) == 0 || what == "server:yes" || what == "server:no" || what == "notice" ||
                what == "check")
        << "no such step: " << what;
    steps.emplace_back(Ms{at}, what);
  }
  FollowDecider decider(row.inForce, Ms{0});
  std::string network = "home", log;
  bool answers = true;
  const auto logged = [&](const std::string& text) { log += (log.empty() ? "" : ", ") + text; };
  auto next = steps.begin();
  for (Ms now{0}; now <= kEnd;) {
    for (; next != steps.end() && next->first <= now; ++next) {
      const std::string& what = next->second;
      if (what.rfind("net:", 0) == 0) network = what.substr(4);
      if (what.rfind("server:", 0) == 0) answers = what == "server:yes";
      if (what == "notice") decider.Noticed(now, FollowEvent::SystemNotice);
      if (what == "check") decider.CheckNow(now, FollowEvent::CheckCommand);
    }
    for (FollowDue due; (due = decider.Due(now)) != FollowDue::Nothing;) {
      if (due == FollowDue::Poll) {
        ++polls;
        decider.Polled(now, network.empty() ? std::nullopt : std::optional<std::string>(network));
        continue;
      }
      logged("probe@" + std::to_string(now.count()) + (answers ? ":yes" : ":no"));
      ProbeOutcome outcome;
      outcome.home = answers;
      const auto decided = decider.Probed(now, outcome);
      if (!decided) continue;
      std::string text = (decided->to == Place::Home ? "home@" : "away@") + std::to_string(now.count());
      const FollowReason& r = decided->reason;
      if (r.before) text += " " + *r.before + "->" + r.after.value_or("?");
      for (const FollowProbe& p : r.probes) text += " +" + std::to_string(p.after.count());
      logged(text);
      EXPECT_EQ(decider.InForce(), decided->to);
    }
    const Ms later = std::min(decider.NextDeadline(), next != steps.end() ? next->first : kEnd + Ms{1});
    if (later <= now) {
      ADD_FAILURE() << "the decider keeps the loop turning without the time moving on";
      break;
    }
    now = later;
  }
  return log;
}

class FollowDecision : public ::testing::TestWithParam<Row> {};

TEST_P(FollowDecision, ProbesAndSwitchesAtTheRightTimes) {
  const Row& row = GetParam();
  int polls = 0;
  EXPECT_EQ(Simulate(row, polls), row.expected);
  EXPECT_EQ(polls, 13) << "one poll every 5 s, at 0 to 60 s, whatever else happens";
}

const Row kRows[] = {
    {"AwayToHomeSeenByAPollAtTheFirstAnswerAfterTheQuietPeriod", Place::Away, "12000 net:office",
     "probe@18000:yes, home@18000 home->office +0"},
    {"AnAnswerBetweenTheConfirmationsKeepsHome", Place::Home, "11000 server:no, 12000 net:cafe, 21000 server:yes",
     "probe@18000:no, probe@23000:yes"},
    {"AwayInForceAndNoAnswerNeedsNoConfirmation", Place::Away, "11000 server:no, 12000 net:cafe", "probe@18000:no"},
    {"NoChangeNoProbeAnUnreadableFingerprintIsNone", Place::Home, "12000 net:, 17000 net:home", ""},
    {"ABurstOfNoticesEndsInOneProbe", Place::Away, "10000 notice, 11000 notice, 12500 notice",
     "probe@15500:yes, home@15500 +0"},
    {"ChangesDuringTheQuietPeriodPutTheProbeOff", Place::Home, "12000 net:dock, 17000 notice, 19000 net:home",
     "probe@23000:yes"},
    {"CheckSkipsTheQuietPeriod", Place::Away, "7000 check", "probe@7000:yes, home@7000 +0"},
    {"CheckCutsAQuietPeriodShort", Place::Away, "12000 net:office, 16000 check",
     "probe@16000:yes, home@16000 home->office +0"},
    {"AChangeWhileConfirmingKeepsTheSchedule", Place::Home, "11000 server:no, 12000 net:cafe, 19000 net:hotel",
     "probe@18000:no, probe@23000:no, probe@33000:no, away@33000 home->hotel +0 +5000 +15000"},
    {"ACheckWhileConfirmingCountsAsNoConfirmation", Place::Home, "11000 server:no, 12000 net:cafe, 25000 check",
     "probe@18000:no, probe@23000:no, probe@25000:no, probe@33000:no, away@33000 home->cafe +0 +5000 +7000 +15000"},
    {"AwayOnlyAfterTwoMoreFailuresThenHomeAgain", Place::Home,
     "11000 server:no, 12000 net:cafe, 40000 server:yes, 41000 net:home",
     "probe@18000:no, probe@23000:no, probe@33000:no, away@33000 home->cafe +0 +5000 +15000, probe@48000:yes, "
     "home@48000 cafe->home +0"},
};
INSTANTIATE_TEST_SUITE_P(Follow, FollowDecision, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestel
