// What the follower is told of or finds out: one kind of event all the way from its window, its
// named events and its own polls to the decision and the record.
#pragma once

namespace kestel {

enum class FollowEvent {
  Started,         // the follower decides once as it starts
  NetworkChanged,  // the fingerprint differs from the one before
  SystemNotice,    // the platform reported a change of routes or addresses
  Resumed,         // woke from sleep
  Unlocked,        // the session was unlocked
  CheckNowChosen,  // "Check now" in the icon's menu
  CheckCommand,    // kestel.exe /check
  HomeSetByARun,   // another kestel.exe's logon run put the local set in force
  AwaySetByARun,   // or the away set
  StopChosen,      // "Stop following" in the icon's menu
  StopCommand,     // kestel.exe /stop
  SessionEnded,
};

}  // namespace kestel
