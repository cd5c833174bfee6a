#include "follow/FollowRecordEvents.h"

#include "record/RecordText.h"
#include "run/RunRecordEvents.h"

namespace kestel {

namespace {

const char* PlaceName(Place place) {
  return place == Place::Home ? "home" : "away";
}

const char* TriggerText(FollowEvent trigger) {
  switch (trigger) {
    case FollowEvent::Started:
      return "following began";
    case FollowEvent::NetworkChanged:
      return "the network changed";
    case FollowEvent::SystemNotice:
      return "the system reported a network change";
    case FollowEvent::Resumed:
      return "woke from sleep";
    case FollowEvent::Unlocked:
      return "the session was unlocked";
    case FollowEvent::CheckNowChosen:
      return "\"Check now\" chosen";
    case FollowEvent::CheckCommand:
      return "/check asked";
    // Never the start of a decision.
    case FollowEvent::HomeSetByARun:
    case FollowEvent::AwaySetByARun:
    case FollowEvent::StopChosen:
    case FollowEvent::StopCommand:
    case FollowEvent::SessionEnded:
      break;
  }
  return "";
}

const char* FollowEndText(FollowEnd end) {
  switch (end) {
    case FollowEnd::StopCommand:
      return "stopped by /stop";
    case FollowEnd::StopChosen:
      return "stopped by \"Stop following\"";
    case FollowEnd::SessionEnded:
      return "stopped: the session ends";
    case FollowEnd::NotAsked:
      return "stopped: kestel.ini no longer says follow=1";
    case FollowEnd::NoSettingsFile:
      return "stopped: kestel.ini is gone";
    case FollowEnd::NoServer:
      return "stopped: kestel.ini names no server";
    case FollowEnd::Error:
      return "stopped on an error";
  }
  return "";
}

}  // namespace

RunEvent FollowStartEvent(Place inForce, const std::optional<std::string>& fingerprint) {
  return {EventKind::Follow, Severity::Information,
          Join({"following, ", PlaceName(inForce), " in force, network ",
                fingerprint ? Quoted(*fingerprint) : std::string("unknown")})};
}

RunEvent FollowElsewhereEvent() {
  return {EventKind::Follow, Severity::Information,
          "another Kestel follows the network in this session: this one ends"};
}

RunEvent FollowRunSetEvent(Place inForce) {
  return {EventKind::Follow, Severity::Information,
          Join({"another Kestel's logon run put the ", inForce == Place::Home ? "local" : "away", " set in force"})};
}

RunEvent FollowEndEvent(FollowEnd end, int exitCode, std::uint64_t followedMs) {
  return {EventKind::Follow, Severity::Information,
          Join({FollowEndText(end), ", exit code ", std::to_string(exitCode), ", followed ", Number(followedMs / 1000),
                " s"})};
}

RunEvent SwitchEvent(const FollowSwitch& change, const std::string& server) {
  const FollowReason& r = change.reason;
  std::string text = Join({"to ", PlaceName(change.to), ": ", TriggerText(r.trigger)});
  if (r.before && r.after) text += Join({" (", Quoted(*r.before), " before, ", Quoted(*r.after), " now)"});
  text += Join({"; server ", Quoted(server), ": "});
  for (std::size_t i = 0; i < r.probes.size(); ++i) {
    if (i > 0) text += Join({", +", Number(static_cast<std::uint64_t>(r.probes[i].after.count()) / 1000), " s "});
    text += ProbeSummary(r.probes[i].outcome);
  }
  return {EventKind::Switch, Severity::Information, text};
}

}  // namespace kestel
