// When the follower probes and when it switches, over a simulated clock, network and home server.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/FollowDecision.h"

namespace kestel {
namespace {

using Ms = FollowTime;

// From its time on, until the next one, the network has this fingerprint ("" when it cannot be
// taken), the server answers or not, or something is reported.
struct Step {
  int at;
  enum { Network, Server, Notice, Check } what;
  std::string network = {};
  bool answers = false;
};
const auto Net = [](int at, std::string fingerprint) { return Step{at, Step::Network, std::move(fingerprint)}; };
const auto Server = [](int at, bool answers) { return Step{at, Step::Server, {}, answers}; };
const auto Notice = [](int at) { return Step{at, Step::Notice}; };
const auto Check = [](int at) { return Step{at, Step::Check}; };

struct Row {
  const char* name;
  Place inForce;
  std::vector<Step> steps;  // in time order; the network starts as "home", the server answering
  std::vector<std::string> expected;
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

// Runs the decider for a minute as a host would: wait until its deadline or the next step, then do
// whatever is due. Logs each probe ("probe@ms:yes|no") and each switch, with its reason.
std::vector<std::string> Simulate(const Row& row, int& polls) {
  constexpr Ms kEnd{60000};
  FollowDecider decider(row.inForce, Ms{0});
  std::string network = "home";
  bool answers = true;
  std::vector<std::string> log;
  auto next = row.steps.begin();
  for (Ms now{0}; now <= kEnd;) {
    for (; next != row.steps.end() && Ms{next->at} <= now; ++next) {
      if (next->what == Step::Network) network = next->network;
      if (next->what == Step::Server) answers = next->answers;
      if (next->what == Step::Notice) decider.Noticed(now, FollowTrigger::SystemNotice);
      if (next->what == Step::Check) decider.CheckNow(now, FollowTrigger::CheckCommand);
    }
    for (FollowDue due; (due = decider.Due(now)) != FollowDue::Nothing;) {
      if (due == FollowDue::Poll) {
        ++polls;
        decider.Polled(now, network.empty() ? std::nullopt : std::optional<std::string>(network));
        continue;
      }
      log.push_back("probe@" + std::to_string(now.count()) + (answers ? ":yes" : ":no"));
      ProbeOutcome outcome;
      outcome.home = answers;
      const auto decided = decider.Probed(now, outcome);
      if (!decided) continue;
      std::string text = (decided->to == Place::Home ? "home@" : "away@") + std::to_string(now.count());
      const FollowReason& r = decided->reason;
      if (r.before) text += " " + *r.before + "->" + r.after.value_or("?");
      for (const FollowProbe& p : r.probes) text += " +" + std::to_string(p.after.count());
      log.push_back(text);
      EXPECT_EQ(decider.InForce(), decided->to);
    }
    const Ms later = std::min(decider.NextDeadline(), next != row.steps.end() ? Ms{next->at} : kEnd + Ms{1});
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

INSTANTIATE_TEST_SUITE_P(
    Follow, FollowDecision,
    ::testing::Values(
        Row{"AwayToHomeSeenByAPollAtTheFirstAnswerAfterTheQuietPeriod",
            Place::Away,
            {Net(12000, "office")},
            {"probe@18000:yes", "home@18000 home->office +0"}},
        Row{"AnAnswerBetweenTheConfirmationsKeepsHome",
            Place::Home,
            {Server(11000, false), Net(12000, "cafe"), Server(21000, true)},
            {"probe@18000:no", "probe@23000:yes"}},
        Row{"AwayInForceAndNoAnswerNeedsNoConfirmation",
            Place::Away,
            {Server(11000, false), Net(12000, "cafe")},
            {"probe@18000:no"}},
        Row{"NoChangeNoProbeAnUnreadableFingerprintIsNone", Place::Home, {Net(12000, ""), Net(17000, "home")}, {}},
        Row{"ABurstOfNoticesEndsInOneProbe",
            Place::Away,
            {Notice(10000), Notice(11000), Notice(12500)},
            {"probe@15500:yes", "home@15500 +0"}},
        Row{"ChangesDuringTheQuietPeriodPutTheProbeOff",
            Place::Home,
            {Net(12000, "dock"), Notice(17000), Net(19000, "home")},
            {"probe@23000:yes"}},
        Row{"CheckSkipsTheQuietPeriod", Place::Away, {Check(7000)}, {"probe@7000:yes", "home@7000 +0"}},
        Row{"CheckCutsAQuietPeriodShort",
            Place::Away,
            {Net(12000, "office"), Check(16000)},
            {"probe@16000:yes", "home@16000 home->office +0"}},
        Row{"AChangeWhileConfirmingKeepsTheSchedule",
            Place::Home,
            {Server(11000, false), Net(12000, "cafe"), Net(19000, "hotel")},
            {"probe@18000:no", "probe@23000:no", "probe@33000:no", "away@33000 home->hotel +0 +5000 +15000"}},
        Row{"ACheckWhileConfirmingCountsAsNoConfirmation",
            Place::Home,
            {Server(11000, false), Net(12000, "cafe"), Check(25000)},
            {"probe@18000:no", "probe@23000:no", "probe@25000:no", "probe@33000:no",
             "away@33000 home->cafe +0 +5000 +7000 +15000"}},
        Row{"AwayOnlyAfterTwoMoreFailuresThenHomeAgain",
            Place::Home,
            {Server(11000, false), Net(12000, "cafe"), Server(40000, true), Net(41000, "home")},
            {"probe@18000:no", "probe@23000:no", "probe@33000:no", "away@33000 home->cafe +0 +5000 +15000",
             "probe@48000:yes", "home@48000 cafe->home +0"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestel
