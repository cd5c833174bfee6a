#include "run/Run.h"

#include <exception>
#include <new>

#include "base/Errors.h"
#include "env/Placeholders.h"
#include "proxy/InternetSettings.h"
#include "record/PolicyEvents.h"

namespace kestel {

namespace {

constexpr int kLogonDialogHeight = 210;

// Raised at a step's edge once the session has ended, and caught where the run ends.
struct SessionEnds {};

// The first end counts: the session's may have gone on record inside the system's message while a
// step waited, and the step's return must not add another.
void RecordEnd(RunRecord& record, RoamingState& state, RunEnd end) {
  if (state.End) return;
  state.End = end;
  RecordIfOn(record, [&] { return EndEvent(end, 0, record.ElapsedMs()); });
}

class Run {
 public:
  Run(RoamingHost& host, RoamingState& state) : host_(host), s_(state), record_(host.Record()) {}

  int Execute() {
    try {
      return Steps();
    } catch (const SessionEnds&) {
      return End(RunEnd::SessionEnded);
    }
  }

 private:
  int Steps() {
    StartUp();
    const std::string path = host_.AppDirectory() + std::string(kSettingsFileName);
    const Policy& policy = host_.ReadPolicy();
    // Where policy names the server the file may be missing: the first thing the run stores creates it.
    const bool fileThere = host_.FileExists(path);
    if (!fileThere && !policy.SetsServer()) {
      host_.ShowNotice(kNoSettingsFileNotice);
      return End(RunEnd::NoSettingsFile);
    }
    Record([&] { return fileThere ? SettingsFileEvent(path) : SettingsFileAbsentEvent(path); });
    if (record_.On())
      for (const RunEvent& event : PolicyEvents(policy)) record_.Report(event);
    SettingsFile settings(path, host_.Profile());
    Initialise(settings);
    if (!ReadServer(settings)) {
      host_.ShowNotice(kNoServerNotice);
      return End(RunEnd::NoServer);
    }
    if (!ProbeHome()) return RunPrograms(settings, "Running Away Scripts", keys::kAwayPrograms, RunEnd::AwayComplete);
    const StoredPassword password = ReadPassword(settings);
    if (!SettleCredentials(password)) return End(RunEnd::LogonCancelled);
    if (!MapDrives(settings)) return End(RunEnd::MappingFailed);
    SaveCredentials(settings, password);
    ApplyLocalSettings(settings);
    return RunPrograms(settings, "Running Post Logon Program", keys::kLocalPrograms, RunEnd::HomeComplete);
  }

  // Windows may end the process at any moment once the session ends, and a kill inside a write of
  // kestel.ini would tear it: no step starts after the end. Messages, and so the end, are handled only
  // while the run waits (a status pass, a dialog, a call off the thread), never inside a write.
  void NextStep() const {
    if (host_.SessionEnded()) throw SessionEnds{};
  }

  void StartUp() {
    Record([] { return StartEvent({}); });
    host_.SetApplicationTitle(kApplicationTitle);
    host_.CreateMainWindow();
    host_.ProcessMessages();
    host_.ShowMainWindow();
    s_.KeyNames.clear();
    s_.KeyLines.clear();
    registry_ = &host_.CreateRegistry();
  }

  // Opens the record, cancels every listed drive and puts the away set into force (or captures it).
  void Initialise(SettingsFile& settings) {
    Status("Initialising..");
    TConfig& c = s_.Config;
    c.ShowMapErrors = settings.ReadSettingFlag(keys::kShowMapErrors);
    record_.Open({ResolveRecordPath(Expand(settings.ReadSettingText(keys::kLogFile)), host_.AppDirectory()),
                  settings.ReadSettingFlag(keys::kEventLog)});
    settings.ReadSectionKeys(keys::kMappings, s_.KeyNames);
    for (const std::string& device : s_.KeyNames) {
      NextStep();
      const std::uint32_t result = host_.UnmapDrive(device, false, true, true);
      Record([&] { return DriveCancelledEvent(device, result, record_.SystemText(result)); });
    }
    NextStep();
    FinishAwaySet(host_, SwitchToAwaySettings(settings, *registry_, host_.Connections(), c), c);
  }

  // False when the file names no server: the marker counts as missing, an empty name does not.
  bool ReadServer(SettingsFile& settings) {
    s_.Config.Server = settings.ReadSettingText(keys::kServer);
    return s_.Config.Server != keys::kServer.marker;
  }

  bool ProbeHome() {
    const std::string& server = s_.Config.Server;
    Status("Searching for server " + server);
    NextStep();
    const ProbeOutcome probe = host_.PingHost(server);
    Record([&] { return ProbeEvent(server, probe, record_.SystemText(probe.error)); });
    Record([&] { return DecisionEvent(probe.home); });
    return probe.home;
  }

  StoredPassword ReadPassword(SettingsFile& settings) {
    TConfig& c = s_.Config;
    c.UserName = settings.ReadSettingText(keys::kUserName);
    StoredPassword password(settings.ReadSettingText(keys::kPassword), keys::kPassword.marker, host_.Protection());
    c.Password = password.Usable().value_or(std::string(keys::kPassword.marker));
    return password;
  }

  // The credentials from the file or, when either is missing, from the logon dialog. False when the
  // dialog was cancelled: the run halts.
  bool SettleCredentials(const StoredPassword& password) {
    TConfig& c = s_.Config;
    CredentialSource source = CredentialSource::SettingsFile;
    if (c.UserName == keys::kUserName.marker || password.Missing()) {
      Status("Please provide logon details for " + c.Server);
      NextStep();
      host_.SetWindowHeight(kLogonDialogHeight);
      host_.FocusUserName();
      host_.HideMainWindow();
      host_.ShowModal();
      if (host_.HaltRequested()) {
        Record([] { return CredentialsEvent(CredentialSource::DialogCancelled, {}); });
        return false;
      }
      // The session's end closes the dialog as the close box would, which no user chose.
      NextStep();
      source = CredentialSource::DialogClosed;
      if (host_.LastModalResult() == ModalResult::Logon) {
        c.UserName = host_.UserNameText();
        c.Password = host_.PasswordText();
        source = CredentialSource::DialogLogon;
      }
    }
    Record([&] { return CredentialsEvent(source, c.UserName); });
    return true;
  }

  // Maps every listed drive, each whatever became of the one before. False when one failed: the
  // user has been told, by a box per drive or by the summary notice.
  bool MapDrives(SettingsFile& settings) {
    const TConfig& c = s_.Config;
    Status("Mapping Drives " + c.Server);
    settings.ReadSectionKeys(keys::kMappings, s_.KeyNames);
    settings.ReadSectionLines(keys::kMappings, s_.KeyLines);
    s_.MapFailed = false;
    for (std::size_t i = 0; i < s_.KeyNames.size() && i < s_.KeyLines.size(); ++i) {
      NextStep();
      s_.KeyLines[i] = Expand(ValueOfLine(s_.KeyLines, s_.KeyNames, i));
      const std::uint32_t result =
          host_.MapDrive(s_.KeyNames[i], s_.KeyLines[i], c.ShowMapErrors, false, c.UserName, c.Password);
      if (result != 0) s_.MapFailed = true;
      Record([&] { return MappingEvent(s_.KeyNames[i], s_.KeyLines[i], result, record_.SystemText(result)); });
    }
    // Neither the summary nor the credentials' write after them, once the session has ended.
    NextStep();
    if (s_.MapFailed && !c.ShowMapErrors)
      host_.ShowNotice("An error occured mapping one or more drives. For Details enable showMapErrors=1 in under [" +
                       std::string(keys::kScripts) + "] section of KESTEL.INI");
    return !s_.MapFailed;
  }

  // Typed credentials go into the file once they have mapped every drive; with protection asked for,
  // a plain stored password is replaced by its protected form.
  void SaveCredentials(SettingsFile& settings, const StoredPassword& password) {
    TConfig& c = s_.Config;
    c.ProtectPassword = settings.ReadSettingFlag(keys::kProtectPassword);
    if (host_.LastModalResult() == ModalResult::Logon) {
      settings.WriteSettingText(keys::kUserName, c.UserName);
      const bool written = password.SaveTyped(settings, c.Password, c.ProtectPassword);
      const PasswordSave how = !c.ProtectPassword ? PasswordSave::AsTyped
                               : written          ? PasswordSave::Protected
                                                  : PasswordSave::NotProtected;
      Record([&] { return CredentialsSavedEvent(how, c.UserName); });
    } else if (password.ProtectInPlace(settings, c.ProtectPassword)) {
      Record([&] { return CredentialsSavedEvent(PasswordSave::ProtectedInPlace, c.UserName); });
    }
  }

  void ApplyLocalSettings(SettingsFile& settings) {
    Status("Configuring Internet Settings");
    NextStep();
    PutLocalSetInForce(host_, settings, *registry_, s_.Config);
  }

  void Status(const std::string& text) {
    host_.SetStatus(text);
    host_.ProcessMessages();
  }

  std::string Expand(const std::string& text) { return ExpandForRun(host_, s_.Config.UserName, text); }

  template <class Compose>
  void Record(Compose compose) {
    RecordIfOn(record_, compose);
  }

  int End(RunEnd end) {
    RecordEnd(record_, s_, end);
    return 0;
  }

  // Away, UserName is never read: %INTERNALUSERNAME% expands to nothing there.
  int RunPrograms(SettingsFile& settings, const std::string& status, const SettingKey& section, RunEnd end) {
    Status(status);
    RunSectionPrograms(host_, settings, section, s_.Config.UserName, s_.Config, s_.KeyNames, s_.KeyLines,
                       [this] { return !host_.SessionEnded(); });
    NextStep();
    return End(end);
  }

  RoamingHost& host_;
  RoamingState& s_;
  RunRecord& record_;
  RegistryAccess* registry_ = nullptr;
};

// A set put into force, or the away set captured: a refused script and each connection that failed
// (a phonebook entry also when it was set), then the set's own line. The LAN connection set as asked
// needs no line: the set's own says what it was given.
void RecordSet(RunRecord& record, ProxySetOf which, const InternetSetOutcome& outcome, const TConfig& config) {
  const bool captured = !outcome.applied;
  const std::string_view set = which == ProxySetOf::Local ? "local set" : captured ? "away set capture" : "away set";
  if (outcome.refusedScript) RecordIfOn(record, [&] { return ScriptRefusedEvent(set, *outcome.refusedScript); });
  for (const ConnectionOutcome& connection : outcome.connections)
    if (connection.call.Failed() || connection.of == ConnectionOutcome::Of::Entry)
      RecordIfOn(record, [&] {
        const bool failed = connection.call.Failed();
        return ConnectionEvent(set, connection, failed ? record.SystemText(connection.call.error) : std::string());
      });
  RecordIfOn(record, [&] { return ProxySetEvent(which, captured, config.Sets[which], config.AllConnections); });
}

// Written before the error's box, so that a box nobody answers still leaves the error on record.
void RecordUncaughtError(RunRecord& record, const UncaughtError& error) {
  try {
    if (record.On()) record.Report(UncaughtErrorEvent(error.kind, error.message));
  } catch (...) {
    // Out of memory again: the box still tells the user.
  }
}

}  // namespace

// The two section reads agree unless the file changed between them; a line that is then shorter than
// its key gives the empty text.
std::string ValueOfLine(const TStringList& lines, const TStringList& names, std::size_t i) {
  const std::string& line = lines[i];
  const std::size_t skip = i < names.size() ? names[i].size() + 1 : 0;
  return skip <= line.size() ? line.substr(skip) : std::string();
}

void FinishAwaySet(RoamingHost& host, const InternetSetOutcome& away, const TConfig& config) {
  if (away.applied) host.NotifyInternetSettingsChanged();
  RecordSet(host.Record(), ProxySetOf::Away, away, config);
}

void PutLocalSetInForce(RoamingHost& host, SettingsFile& settings, RegistryAccess& registry, TConfig& config) {
  const InternetSetOutcome local = SwitchToLocalSettings(settings, registry, host.Connections(), config);
  host.NotifyInternetSettingsChanged();
  RecordSet(host.Record(), ProxySetOf::Local, local, config);
}

std::string ExpandForRun(RoamingHost& host, const std::string& userName, const std::string& text) {
  return ExpandPlaceholders(text, [&](const std::string& name) {
    return LookupPlaceholder(name, userName, [&](const std::string& n) { return host.EnvironmentValueOf(n); });
  });
}

void RunSectionPrograms(RoamingHost& host, SettingsFile& settings, const SettingKey& section,
                        const std::string& userName, TConfig& config, TStringList& names, TStringList& lines,
                        const std::function<bool()>& goOn) {
  settings.ReadSectionKeys(section, names);
  settings.ReadSectionLines(section, lines);
  config.HideScripts = settings.ReadSettingFlag(keys::kHideScripts);
  RunRecord& record = host.Record();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (goOn && !goOn()) return;
    lines[i] = ExpandForRun(host, userName, ValueOfLine(lines, names, i));
    const ProgramOutcome program = host.RunProgram(lines[i], true, !config.HideScripts);
    RecordIfOn(record, [&] { return ProgramEvent(lines[i], program, record.SystemText(program.error)); });
  }
}

void EndRunWithTheSession(RoamingHost& host, RoamingState& state) {
  RecordEnd(host.Record(), state, RunEnd::SessionEnded);
}

int RunRoaming(RoamingHost& host, RoamingState& state) {
  try {
    return Run(host, state).Execute();
  } catch (const std::exception&) {
    RecordUncaughtError(host.Record(), CurrentUncaughtError());
    throw;
  }
}

UncaughtError CurrentUncaughtError() noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return {e.Kind().c_str(), e.what(), e.Address()};
  } catch (const std::bad_alloc& e) {
    return {kOutOfMemory, e.what(), nullptr};
  } catch (const std::exception& e) {
    return {kRuntimeError, e.what(), nullptr};
  }
}

int RecordUncaughtErrorEnd(RunRecord& record, int exitCode) {
  try {
    if (record.On()) record.Report(EndEvent(RunEnd::UncaughtError, exitCode, record.ElapsedMs()));
  } catch (...) {
    // As above.
  }
  return exitCode;
}

}  // namespace kestel
