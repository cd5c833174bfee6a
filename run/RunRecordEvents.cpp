#include "run/RunRecordEvents.h"

#include <cstdio>

#include "record/RecordText.h"

namespace kestel {

namespace {

std::string Address(const IPv4Address& address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
  return text;
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
    case RunEnd::SessionEnded:
      return "ended with the session";
  }
  return "";
}

}  // namespace

// One probe of a decision in a few words; the full form is the logon run's probe line.
std::string ProbeSummary(const ProbeOutcome& o) {
  const char* status = IpStatusName(o.replies == 0 ? o.error : o.status);
  const std::string named = status != nullptr ? Join({" (", status, ")"}) : std::string();
  if (o.home) return Join({"answered from ", Address(o.from), " in ", Number(o.roundTripMs), " ms"});
  if (!o.icmpOpened) return Join({"no ICMP handle, error ", Number(o.error)});
  if (o.replies == 0) return Join({"no reply, error ", Number(o.error), named});
  return Join({"status ", Number(o.status), named, " from ", Address(o.from)});
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
