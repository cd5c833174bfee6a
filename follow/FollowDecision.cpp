#include "follow/FollowDecision.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestel {

FollowDue FollowDecider::Due(FollowTime now) const {
  if (now >= nextPoll_) return FollowDue::Poll;
  if (stage_ == Stage::Quiet && now >= quietUntil_) return FollowDue::Probe;
  if (stage_ == Stage::Confirming && (probeNow_ || now >= confirmAt_)) return FollowDue::Probe;
  return FollowDue::Nothing;
}

FollowTime FollowDecider::NextDeadline() const {
  switch (stage_) {
    case Stage::Idle:
      break;
    case Stage::Quiet:
      return std::min(nextPoll_, quietUntil_);
    case Stage::Confirming:
      return probeNow_ ? FollowTime{0} : std::min(nextPoll_, confirmAt_);
  }
  return nextPoll_;
}

void FollowDecider::Polled(FollowTime now, const std::optional<std::string>& fingerprint) {
  nextPoll_ = now + kFollowPollInterval;
  if (!fingerprint) return;
  if (fingerprint_ && *fingerprint_ != *fingerprint)
    Changed(now, FollowEvent::NetworkChanged, fingerprint_, fingerprint);
  fingerprint_ = fingerprint;
}

void FollowDecider::Noticed(FollowTime now, FollowEvent trigger) {
  Changed(now, trigger, std::nullopt, std::nullopt);
}

// A decision under way keeps the trigger that started it; the fingerprints span every change in it.
void FollowDecider::Changed(FollowTime now, FollowEvent trigger, const std::optional<std::string>& before,
                            const std::optional<std::string>& after) {
  if (stage_ == Stage::Idle) reason_ = {trigger, std::nullopt, std::nullopt, {}};
  if (after) {
    if (!reason_.before) reason_.before = before;
    reason_.after = after;
  }
  // Away is confirmed on its own schedule: a probe that answers meanwhile keeps home in force anyway.
  if (stage_ == Stage::Confirming) return;
  stage_ = Stage::Quiet;
  quietUntil_ = now + kFollowQuietPeriod;
}

void FollowDecider::CheckNow(FollowTime now, FollowEvent trigger) {
  switch (stage_) {
    case Stage::Idle:
      reason_ = {trigger, std::nullopt, std::nullopt, {}};
      stage_ = Stage::Quiet;
      quietUntil_ = now;
      break;
    case Stage::Quiet:
      quietUntil_ = now;
      break;
    case Stage::Confirming:
      probeNow_ = true;
      break;
  }
}

std::optional<FollowSwitch> FollowDecider::Probed(FollowTime now, const ProbeOutcome& outcome) {
  if (stage_ == Stage::Quiet) firstProbe_ = now;
  reason_.probes.push_back({now - firstProbe_, outcome});
  const bool extra = std::exchange(probeNow_, false) && now < confirmAt_;
  if (outcome.home) return Decided(Place::Home);
  if (inForce_ == Place::Away) return Decided(std::nullopt);
  if (stage_ == Stage::Quiet) {
    stage_ = Stage::Confirming;
    confirmations_ = 0;
    confirmAt_ = firstProbe_ + kAwayConfirmations[0];
    return std::nullopt;
  }
  // A check asked for between the confirmations counts as none of them.
  if (extra) return std::nullopt;
  if (++confirmations_ == std::size(kAwayConfirmations)) return Decided(Place::Away);
  confirmAt_ = firstProbe_ + kAwayConfirmations[confirmations_];
  return std::nullopt;
}

std::optional<FollowSwitch> FollowDecider::Decided(std::optional<Place> to) {
  stage_ = Stage::Idle;
  FollowReason reason = std::move(reason_);
  reason_ = {};
  if (!to || *to == inForce_) return std::nullopt;
  inForce_ = *to;
  return FollowSwitch{*to, std::move(reason)};
}

}  // namespace kestel
