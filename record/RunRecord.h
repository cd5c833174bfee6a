// The run's record: what a run decided and why, one event at a time, for an administrator who
// switched it on ("logfile" and "eventlog" in [SCRIPTS]). The run raises the events; the host writes
// them, to a file or to the event log, or drops them. Never does an event carry the password.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "proxy/ConnectionOptions.h"
#include "settings/Config.h"

namespace kestel {

// Each kind keeps its id for good: the event log and the message table in kestel.exe know it.
enum class EventKind : std::uint16_t {
  Start = 1,
  SettingsFile = 2,
  DriveCancelled = 3,
  AwaySet = 4,
  Probe = 5,
  Decision = 6,
  Credentials = 7,
  Mapping = 8,
  CredentialsSaved = 9,
  LocalSet = 10,
  Program = 11,
  End = 12,
  UncaughtError = 13,
  Connection = 14,
  Script = 15,
  Follow = 16,
  Switch = 17,
  Policy = 18,
};
inline constexpr EventKind kEventKinds[] = {
    EventKind::Start,         EventKind::SettingsFile, EventKind::DriveCancelled,
    EventKind::AwaySet,       EventKind::Probe,        EventKind::Decision,
    EventKind::Credentials,   EventKind::Mapping,      EventKind::CredentialsSaved,
    EventKind::LocalSet,      EventKind::Program,      EventKind::End,
    EventKind::UncaughtError, EventKind::Connection,   EventKind::Script,
    EventKind::Follow,        EventKind::Switch,       EventKind::Policy};

// A failed drive, program or connection and a refused script are warnings, an uncaught error an
// error; everything else information.
enum class Severity { Information, Warning, Error };

struct RunEvent {
  EventKind kind;
  Severity severity;
  std::string text;  // after the kind's name; one line
};

// The word that names a kind in a line, e.g. "probe".
const char* EventName(EventKind kind);
const char* SeverityName(Severity severity);
// "<name>: <text>", with every control character turned into a blank so an event stays one line.
std::string EventLine(const RunEvent& event);

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
// "YYYY-MM-DD HH:MM:SS.mmm PID SEVERITY name: text", without the line end.
std::string FormatRecordLine(const LocalTime& time, std::uint32_t processId, const RunEvent& event);

// What the settings ask for: a log file (empty: none) and the event log.
struct RecordSettings {
  std::string path;
  bool eventLog = false;
  bool operator==(const RecordSettings&) const = default;
};
// A path that names no drive and does not begin with a backslash is taken from appDirectory.
std::string ResolveRecordPath(const std::string& path, const std::string& appDirectory);

// Where the run writes its events. Until Open, events are held; Open writes them to what the
// settings ask for or drops them.
class RunRecord {
 public:
  virtual ~RunRecord() = default;
  virtual void Open(const RecordSettings& settings) = 0;
  // False once there is nothing to write to: the run then composes no event at all.
  virtual bool On() const = 0;
  virtual void Report(const RunEvent& event) = 0;
  // The platform's text for a result code, and the time since the process started.
  virtual std::string SystemText(std::uint32_t code) const = 0;
  virtual std::uint64_t ElapsedMs() const = 0;
};

// Composes an event only while the record is on: a run without one pays for none of them.
template <class Compose>
void RecordIfOn(RunRecord& record, Compose compose) {
  if (record.On()) record.Report(compose());
}

// Where the credentials came from; while following only the settings file counts.
enum class CredentialSource { SettingsFile, DialogLogon, DialogClosed, DialogCancelled, NoneStored };

// The start names who and where; its details are looked up only once a record is open.
struct StartDetails {
  std::string executable, version, user, computer;
};
RunEvent StartEvent(const StartDetails& details);
RunEvent SettingsFileEvent(const std::string& path);
// A write put a value into a file in the ANSI code page that the code page cannot hold: the whole file
// was turned into UTF-8. Names the key, never the value.
RunEvent SettingsReencodedEvent(const std::string& path, const std::string& key, unsigned codePage);
RunEvent DriveCancelledEvent(const std::string& device, std::uint32_t result, const std::string& systemText);
// A set put into force, or (the away set only) captured; allConnections when it went to every phonebook
// entry too.
RunEvent ProxySetEvent(ProxySetOf which, bool captured, const ProxySet& set, bool allConnections);
RunEvent DecisionEvent(bool home);
RunEvent CredentialsEvent(CredentialSource source, const std::string& userName);
RunEvent MappingEvent(const std::string& device, const std::string& target, std::uint32_t result,
                      const std::string& systemText);
// How the password went into the settings file when the credentials were saved.
enum class PasswordSave { AsTyped, Protected, NotProtected, ProtectedInPlace };
RunEvent CredentialsSavedEvent(PasswordSave password, const std::string& userName);
// What became of one connection as a set was put into force (or, for a capture, read); set names
// it, e.g. "away set". systemText explains a failure's code.
RunEvent ConnectionEvent(std::string_view set, const ConnectionOutcome& outcome, const std::string& systemText);
// A script URL of the set that is not http(s), and so not applied.
RunEvent ScriptRefusedEvent(std::string_view set, const std::string& url);
RunEvent UncaughtErrorEvent(const std::string& kind, const std::string& message);

// Away while following, with no away set in kestel.ini: nothing is captured, nothing written.
RunEvent AwaySetNotStoredEvent();

}  // namespace kestel
