// When a follower decides home or away again, and what it decides: a burst of network changes ends
// in one probe, home is decided at the first answer, away only once the probe has failed three
// times over 15 s. Time is passed in, so the rules can be checked without a clock or a network.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "follow/FollowEvent.h"
#include "net/PingUtil.h"

namespace kestel {

enum class Place { Home, Away };

// Milliseconds of a steady clock the host reads; only differences count.
using FollowTime = std::chrono::milliseconds;

// The network's fingerprint is taken this often, whatever the platform reports: Wine reports nothing.
inline constexpr FollowTime kFollowPollInterval{5000};
// A change waits this long for the next one before the probe: DHCP, a VPN connecting or an adapter
// flapping end in one decision.
inline constexpr FollowTime kFollowQuietPeriod{3000};
// After a probe without an answer, away waits for these probes, counted from it, to fail too: a
// Wi-Fi hiccup at home must not switch the proxy away and back.
inline constexpr FollowTime kAwayConfirmations[] = {FollowTime{5000}, FollowTime{15000}};

// One probe of a decision, timed from the decision's first probe.
struct FollowProbe {
  FollowTime after;
  ProbeOutcome outcome;
};

// Why a decision was taken, for the run record.
struct FollowReason {
  FollowEvent trigger = FollowEvent::NetworkChanged;  // what made the follower look again
  // The fingerprints before and after, when the network was seen to change on the way.
  std::optional<std::string> before;
  std::optional<std::string> after;
  std::vector<FollowProbe> probes;
};

struct FollowSwitch {
  Place to;
  FollowReason reason;
};

enum class FollowDue { Nothing, Poll, Probe };

class FollowDecider {
 public:
  FollowDecider(Place inForce, FollowTime now) : inForce_(inForce), nextPoll_(now) {}

  Place InForce() const noexcept { return inForce_; }
  // What to do at now: the poll comes before the probe, so a fresh change can still put it off.
  FollowDue Due(FollowTime now) const;
  // When something next falls due; nothing does before it unless a change is reported.
  FollowTime NextDeadline() const;

  // The fingerprint of a poll; nullopt when it could not be taken, which counts as no change. The
  // first one is the one later polls are compared with.
  void Polled(FollowTime now, const std::optional<std::string>& fingerprint);
  // A change the platform reported, or a wake-up or unlock.
  void Noticed(FollowTime now, FollowEvent trigger);
  // Decide again at once, without the quiet period.
  void CheckNow(FollowTime now, FollowEvent trigger);
  // The answer of the probe that Due asked for; a switch when the decision differs from the one in
  // force, which it then is.
  std::optional<FollowSwitch> Probed(FollowTime now, const ProbeOutcome& outcome);
  // What is in force when it is not what the last decision put there: a switch that could not be put
  // into force leaves the earlier one (so that the next decision tries again), and a logon run of
  // another kestel.exe puts its own. A decision under way goes on, against this.
  void InForceNow(Place place) noexcept { inForce_ = place; }

 private:
  enum class Stage { Idle, Quiet, Confirming };
  void Changed(FollowTime now, FollowEvent trigger, const std::optional<std::string>& before,
               const std::optional<std::string>& after);
  std::optional<FollowSwitch> Decided(std::optional<Place> to);

  Place inForce_;
  Stage stage_ = Stage::Idle;
  FollowTime nextPoll_;
  FollowTime quietUntil_{0};
  FollowTime firstProbe_{0};
  FollowTime confirmAt_{0};
  std::size_t confirmations_ = 0;
  bool probeNow_ = false;
  std::optional<std::string> fingerprint_;
  FollowReason reason_;
};

}  // namespace kestel
