#include "record/RunRecord.h"

#include <cstdio>
#include <string_view>

#include "record/RecordText.h"

namespace kestel {

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

std::string Result(std::string_view label, std::uint32_t code, std::string_view text) {
  if (code == 0 || text.empty()) return Join({label, " ", Number(code)});
  return Join({label, " ", Number(code), " (", text, ")"});
}

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
    case EventKind::Policy:
      return "policy";
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

RunEvent SettingsReencodedEvent(const std::string& path, const std::string& key, unsigned codePage) {
  return {EventKind::SettingsFile, Severity::Information,
          Join({Quoted(path), " is now UTF-8: the value of ", key, " has letters that code page ", Number(codePage),
                " cannot hold, so every line was re-encoded"})};
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

RunEvent UncaughtErrorEvent(const std::string& kind, const std::string& message) {
  return {EventKind::UncaughtError, Severity::Error, Join({kind, ": ", message})};
}

RunEvent AwaySetNotStoredEvent() {
  return {EventKind::AwaySet, Severity::Warning,
          "none stored: nothing is captured while following, the proxy and start page stay as they are"};
}

}  // namespace kestel
