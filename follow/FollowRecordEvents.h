// The follower's events in the record: its start, its switches and its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "follow/FollowDecision.h"
#include "record/RunRecord.h"

namespace kestel {

// Why a follower ends.
enum class FollowEnd {
  StopCommand,  // kestel.exe /stop
  StopChosen,   // "Stop following" in the icon's menu
  SessionEnded,
  NotAsked,  // kestel.ini no longer says follow=1
  NoSettingsFile,
  NoServer,
  Error,  // recorded as an error just before
};
// The follower after a logon run: the decision in force and the network it starts from.
RunEvent FollowStartEvent(Place inForce, const std::optional<std::string>& fingerprint);
// A follow=1 run that leaves the following to the follower already there.
RunEvent FollowElsewhereEvent();
// The follower, told that another kestel.exe's logon run put this set in force.
RunEvent FollowRunSetEvent(Place inForce);
RunEvent FollowEndEvent(FollowEnd end, int exitCode, std::uint64_t followedMs);
RunEvent SwitchEvent(const FollowSwitch& change, const std::string& server);

}  // namespace kestel
