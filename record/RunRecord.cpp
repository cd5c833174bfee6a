#include "record/RunRecord.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace kestel {

namespace {

// One out-of-line join instead of chains of string additions: the record's texts stay small in the
// executable.
std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) text.append(part);
  return text;
}

std::string Quoted(std::string_view text) {
  return Join({"\"", text, "\""});
}

std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

std::string Address(const IPv4Address& address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
  return text;
}

// "result 67 (The network name cannot be found)"; a success needs no words.
std::string Result(std::string_view label, std::uint32_t code, std::string_view text) {
  if (code == 0 || text.empty()) return Join({label, " ", Number(code)});
  return Join({label, " ", Number(code), " (", text, ")"});
}

const char* PlaceName(Place place) {
  return place == Place::Home ? "home" : "away";
}

const char* TriggerText(FollowTrigger trigger) {
  switch (trigger) {
    case FollowTrigger::Started:
      return "following began";
    case FollowTrigger::NetworkChanged:
      return "the network changed";
    case FollowTrigger::SystemNotice:
      return "the system reported a network change";
    case FollowTrigger::Resumed:
      return "woke from sleep";
    case FollowTrigger::Unlocked:
      return "the session was unlocked";
    case FollowTrigger::CheckNowChosen:
      return "\"Check now\" chosen";
    case FollowTrigger::CheckCommand:
      return "/check asked";
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

// One probe of a decision in a few words; the full form is the logon run's probe line.
std::string ProbeSummary(const ProbeOutcome& o) {
  const char* status = IpStatusName(o.replies == 0 ? o.error : o.status);
  const std::string named = status != nullptr ? Join({" (", status, ")"}) : std::string();
  if (o.home) return Join({"answered from ", Address(o.from), " in ", Number(o.roundTripMs), " ms"});
  if (!o.icmpOpened) return Join({"no ICMP handle, error ", Number(o.error)});
  if (o.replies == 0) return Join({"no reply, error ", Number(o.error), named});
  return Join({"status ", Number(o.status), named, " from ", Address(o.from)});
}

const char* EndName(RunEnd end) {
  switch (end) {
    case RunEnd::NoSettingsFile:
      return "settings file missing";
    case RunEnd::NoServer:
      return "no server line";
    case RunEnd::LogonCancelled:
      return "logon cancelled";
    case RunEnd::MappingFailed:
      return "a drive failed to map";
    case RunEnd::HomeComplete:
      return "home run complete";
    case RunEnd::AwayComplete:
      return "away run complete";
    case RunEnd::UncaughtError:
      return "uncaught error";
  }
  return "";
}

}  // namespace

const char* EventName(EventKind kind) {
  switch (kind) {
    case EventKind::Start:
      return "start";
    case EventKind::SettingsFile:
      return "settings";
    case EventKind::DriveCancelled:
      return "cancel";
    case EventKind::AwaySet:
      return "away-set";
    case EventKind::Probe:
      return "probe";
    case EventKind::Decision:
      return "decision";
    case EventKind::Credentials:
      return "credentials";
    case EventKind::Mapping:
      return "map";
    case EventKind::CredentialsSaved:
      return "saved";
    case EventKind::LocalSet:
      return "local-set";
    case EventKind::Program:
      return "program";
    case EventKind::End:
      return "end";
    case EventKind::UncaughtError:
      return "error";
    case EventKind::Connection:
      return "connection";
    case EventKind::Script:
      return "script";
    case EventKind::Follow:
      return "follow";
    case EventKind::Switch:
      return "switch";
  }
  return "";
}

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Information:
      return "INFO";
    case Severity::Warning:
      return "WARNING";
    case Severity::Error:
      return "ERROR";
  }
  return "";
}

std::string EventLine(const RunEvent& event) {
  std::string line = Join({EventName(event.kind), ": ", event.text});
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return line;
}

std::string FormatRecordLine(const LocalTime& t, std::uint32_t processId, const RunEvent& event) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d %u ", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.millisecond, processId);
  return Join({stamp, SeverityName(event.severity), " ", EventLine(event)});
}

std::string ResolveRecordPath(const std::string& path, const std::string& appDirectory) {
  const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
  const bool onDrive = path.size() >= 2 && path[1] == ':';
  return path.empty() || rooted || onDrive ? path : Join({appDirectory, path});
}

RunEvent StartEvent(const StartDetails& d) {
  return {EventKind::Start, Severity::Information,
          Join({Quoted(d.executable), " version ", d.version, ", user ", Quoted(d.user), ", computer ",
                Quoted(d.computer)})};
}

RunEvent SettingsFileEvent(const std::string& path) {
  return {EventKind::SettingsFile, Severity::Information, Quoted(path)};
}

RunEvent DriveCancelledEvent(const std::string& device, std::uint32_t result, const std::string& systemText) {
  return {EventKind::DriveCancelled, Severity::Information,
          Join({Quoted(device), ", ", Result("result", result, systemText)})};
}

// The keys a set may leave out are named only when it has them.
RunEvent ProxySetEvent(ProxySetOf which, bool captured, const ProxySet& set, bool allConnections) {
  std::string text =
      Join({captured ? "captured" : "applied", ": proxy enabled ", set.enabled ? "1" : "0", ", proxy server ",
            Quoted(set.server), ", proxy exceptions ", Quoted(set.exceptions), ", home page ", Quoted(set.homePage)});
  if (set.script) text += set.script->empty() ? std::string(", script none") : Join({", script ", Quoted(*set.script)});
  if (set.autoDetect) text += Join({", auto-detect ", *set.autoDetect ? "1" : "0"});
  if (allConnections && !captured) text += ", every phonebook entry too";
  return {which == ProxySetOf::Away ? EventKind::AwaySet : EventKind::LocalSet, Severity::Information, text};
}

RunEvent ProbeEvent(const std::string& server, const ProbeOutcome& o, const std::string& errorText) {
  const char* status = IpStatusName(o.error);
  const std::string error = Result("error", o.error, status != nullptr ? status : errorText);
  std::string text;
  if (!o.icmpOpened)
    text = Join({"server ", Quoted(server), ", no ICMP handle, ", error});
  else if (o.replies == 0)
    text = Join({"server ", Quoted(server), ", address ", Address(o.address), ", no reply, ", error, ", waited ",
                 Number(o.waitedMs), " ms"});
  else
    text = Join({"server ", Quoted(server), ", address ", Address(o.address), ", replies ", Number(o.replies),
                 ", first from ", Address(o.from), ", status ", Number(o.status), " (",
                 IpStatusName(o.status) != nullptr ? IpStatusName(o.status) : "unknown", "), round trip ",
                 Number(o.roundTripMs), " ms, waited ", Number(o.waitedMs), " ms"});
  return {EventKind::Probe, Severity::Information, text};
}

RunEvent DecisionEvent(bool home) {
  return {EventKind::Decision, Severity::Information, home ? "home" : "away"};
}

RunEvent CredentialsEvent(CredentialSource source, const std::string& userName) {
  const char* from = "logon dialog ended with Cancel";
  switch (source) {
    case CredentialSource::SettingsFile:
      from = "from the settings file";
      break;
    case CredentialSource::DialogLogon:
      from = "from the logon dialog, ended with Logon";
      break;
    case CredentialSource::DialogClosed:
      from = "logon dialog closed, the settings file's values stand";
      break;
    case CredentialSource::DialogCancelled:
      return {EventKind::Credentials, Severity::Information, from};
    case CredentialSource::NoneStored:
      return {EventKind::Credentials, Severity::Warning, "none stored: no drive is mapped while following"};
  }
  return {EventKind::Credentials, Severity::Information, Join({from, ", user ", Quoted(userName)})};
}

RunEvent MappingEvent(const std::string& device, const std::string& target, std::uint32_t result,
                      const std::string& systemText) {
  return {EventKind::Mapping, result == 0 ? Severity::Information : Severity::Warning,
          Join({Quoted(device), " to ", Quoted(target), ", ", Result("result", result, systemText)})};
}

RunEvent CredentialsSavedEvent(PasswordSave password, const std::string& userName) {
  const char* how = "typed credentials written, the password as typed";
  switch (password) {
    case PasswordSave::AsTyped:
      break;
    case PasswordSave::Protected:
      how = "typed credentials written, the password protected";
      break;
    case PasswordSave::NotProtected:
      how = "typed user name written, the password not: it could not be protected";
      break;
    case PasswordSave::ProtectedInPlace:
      how = "stored password replaced by its protected form";
      break;
  }
  return {EventKind::CredentialsSaved, Severity::Information, Join({how, ", user ", Quoted(userName)})};
}

RunEvent ConnectionEvent(std::string_view set, const ConnectionOutcome& o, const std::string& systemText) {
  std::string connection = "LAN connection";
  if (o.of == ConnectionOutcome::Of::Entry) connection = Join({"entry ", Quoted(o.entry)});
  if (o.of == ConnectionOutcome::Of::Phonebook) connection = "phonebook";
  if (!o.call.Failed()) return {EventKind::Connection, Severity::Information, Join({set, ", ", connection, ": set"})};
  return {EventKind::Connection, Severity::Warning,
          Join({set, ", ", connection, ": ", o.call.call, " failed, ", Result("error", o.call.error, systemText)})};
}

RunEvent ScriptRefusedEvent(std::string_view set, const std::string& url) {
  return {EventKind::Script, Severity::Warning,
          Join({set, ": script ", Quoted(url),
                " is not an http:// or https:// address: not applied, the script setting is left as it was"})};
}

RunEvent ProgramEvent(const std::string& commandLine, const ProgramOutcome& o, const std::string& errorText) {
  if (!o.started)
    return {EventKind::Program, Severity::Warning,
            Join({Quoted(commandLine), ", not started, ", Result("error", o.error, errorText)})};
  if (!o.exitCode) return {EventKind::Program, Severity::Information, Join({Quoted(commandLine), ", started"})};
  return {EventKind::Program, *o.exitCode == 0 ? Severity::Information : Severity::Warning,
          Join({Quoted(commandLine), ", started, exit code ", Number(*o.exitCode), ", ran ", Number(o.runMs), " ms"})};
}

RunEvent EndEvent(RunEnd end, int exitCode, std::uint64_t totalMs) {
  return {EventKind::End, Severity::Information,
          Join({EndName(end), ", exit code ", std::to_string(exitCode), ", total ", Number(totalMs), " ms"})};
}

RunEvent UncaughtErrorEvent(const std::string& kind, const std::string& message) {
  return {EventKind::UncaughtError, Severity::Error, Join({kind, ": ", message})};
}

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

RunEvent AwaySetNotStoredEvent() {
  return {EventKind::AwaySet, Severity::Warning,
          "none stored: nothing is captured while following, the proxy and start page stay as they are"};
}

const char* IpStatusName(std::uint32_t status) {
  switch (status) {
    case 0:
      return "success";
    case 11001:
      return "reply buffer too small";
    case 11002:
      return "destination net unreachable";
    case 11003:
      return "destination host unreachable";
    case 11004:
      return "destination protocol unreachable";
    case 11005:
      return "destination port unreachable";
    case 11006:
      return "no resources";
    case 11007:
      return "bad option";
    case 11008:
      return "hardware error";
    case 11009:
      return "packet too big";
    case 11010:
      return "request timed out";
    case 11011:
      return "bad request";
    case 11012:
      return "bad route";
    case 11013:
      return "TTL expired in transit";
    case 11014:
      return "TTL expired during reassembly";
    case 11015:
      return "parameter problem";
    case 11016:
      return "source quench";
    case 11017:
      return "option too big";
    case 11018:
      return "bad destination";
    case 11050:
      return "general failure";
    default:
      return nullptr;
  }
}

}  // namespace kestel
