// A host for the run (and the follower after it) that records every request, with the settings file
// and the connections in memory, for tests of their order, branches and ends.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "run/Run.h"
#include "tests/unit/FakeConnections.h"
#include "tests/unit/FakeProfile.h"

namespace kestel::testing {

using Log = std::vector<std::string>;

// Reads as empty; counts the writes.
class NullRegistry final : public RegistryAccess {
 public:
  int writes = 0;
  bool HasKey(const std::string&) override { return true; }
  std::int32_t ReadInteger(const std::string&, const std::string&) override { return 0; }
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string&, const std::string&) override { return 0; }
  std::string ReadString(const std::string&, const std::string&) override { return {}; }
  void WriteInteger(const std::string&, const std::string&, std::int32_t) override { ++writes; }
  void WriteString(const std::string&, const std::string&, const std::string&) override { ++writes; }
  void DeleteValue(const std::string&, const std::string&) override {}
};

// A blob is "P" and the data; protection refused on request, unprotection of anything else refused.
class FakeProtection final : public UserDataProtection {
 public:
  bool refuse = false;
  std::optional<std::string> Protect(const std::string& data) override {
    return refuse ? std::nullopt : std::optional<std::string>("P" + data);
  }
  std::optional<std::string> Unprotect(const std::string& blob) override {
    return blob.starts_with("P") ? std::optional<std::string>(blob.substr(1)) : std::nullopt;
  }
};

// The run's events as "SEVERITY name: text", with what the run opened the record with.
class RecordingRecord final : public RunRecord {
 public:
  std::vector<std::string> events;
  std::optional<RecordSettings> opened;
  bool on = true;
  void Open(const RecordSettings& settings) override { opened = settings; }
  bool On() const override { return on; }
  void Report(const RunEvent& event) override {
    events.push_back(std::string(SeverityName(event.severity)) + " " + EventLine(event));
  }
  std::string SystemText(std::uint32_t code) const override { return "text of " + std::to_string(code); }
  std::uint64_t ElapsedMs() const override { return 42; }
};

class RecordingHost final : public RoamingHost {
 public:
  Log log;
  FakeProfile profile;  // kestel.ini
  FakePolicyStore policy;
  PolicyProfile inForce{profile, policy};
  NullRegistry registry;
  FakeProtection protection;
  Log connectionsLog;
  FakeConnections connections{connectionsLog};
  bool iniExists = true;
  bool serverAnswers = false;
  std::map<std::string, std::uint32_t> mapResults;  // remote name -> result
  ModalResult dialogResult = ModalResult::Logon;    // what the logon dialog ends with
  bool cancelInDialog = false;
  std::string typedUser = "typed-user", typedPassword = "typed-pass";
  std::map<std::string, std::string> environment;
  // Asked with the requests so far after each one the window would hear the session's end in; the
  // state of a run that records its end there, as the product's host does.
  std::function<bool(const Log& requests)> sessionEndsIn;
  bool sessionEnded = false;
  std::size_t writesAtTheEnd = 0, registryWritesAtTheEnd = 0;
  void EndWithTheSession(RoamingState& state) { endsWith_ = &state; }

  void SetApplicationTitle(const std::string& title) override { log.push_back("title:" + title); }
  void CreateMainWindow() override { log.push_back("create-window"); }
  void ProcessMessages() override { Waited("messages"); }
  void ShowMainWindow() override { log.push_back("show"); }
  void SetStatus(const std::string& text) override { log.push_back("status:" + text); }
  void ShowNotice(const std::string& text) override { log.push_back("notice:" + text); }
  void SetWindowHeight(int height) override { log.push_back("height:" + std::to_string(height)); }
  void FocusUserName() override { log.push_back("focus-username"); }
  void HideMainWindow() override { log.push_back("hide"); }
  ModalResult ShowModal() override {
    Waited("modal");
    if (cancelInDialog) {
      halted_ = true;
      return modalResult_ = ModalResult::None;
    }
    return modalResult_ = dialogResult;
  }
  bool HaltRequested() const override { return halted_; }
  bool SessionEnded() const override { return sessionEnded; }
  ModalResult LastModalResult() const override { return modalResult_; }
  std::string UserNameText() const override { return typedUser; }
  std::string PasswordText() const override { return typedPassword; }
  std::string EnvironmentValueOf(const std::string& name) const override {
    const auto it = environment.find(name);
    return it == environment.end() ? std::string() : it->second;
  }
  std::string AppDirectory() const override { return "C:\\Kestel\\"; }
  UserDataProtection& Protection() override { return protection; }
  ConnectionOptions& Connections() override { return connections; }
  void NotifyInternetSettingsChanged() override { log.push_back("internet-changed"); }
  bool FileExists(const std::string& path) const override {
    const_cast<RecordingHost*>(this)->log.push_back("exists:" + path);
    return iniExists;
  }
  ProfileApi& Profile() override { return inForce; }
  const Policy& ReadPolicy() override { return inForce.Refresh(); }
  RegistryAccess& CreateRegistry() override {
    log.push_back("registry");
    return registry;
  }
  std::uint32_t UnmapDrive(const std::string& device, bool showErrors, bool force, bool updateProfile) override {
    Waited("unmap:" + device + Flags({showErrors, force, updateProfile}));
    return 2250;  // not connected: the run must not care
  }
  std::uint32_t MapDrive(const std::string& local, const std::string& remote, bool showErrors, bool noPrompting,
                         const std::string& user, const std::string& password) override {
    Waited("map:" + local + "|" + remote + "|" + user + "|" + password + Flags({showErrors, noPrompting}));
    const auto it = mapResults.find(remote);
    return it == mapResults.end() ? 0 : it->second;
  }
  ProbeOutcome PingHost(const std::string& server) override {
    Waited("ping:" + server);
    ProbeOutcome outcome;
    outcome.home = serverAnswers;
    outcome.icmpOpened = true;
    outcome.address = {127, 0, 0, 1};
    outcome.replies = serverAnswers ? 1 : 0;
    outcome.error = serverAnswers ? 0 : 11010;
    outcome.from = outcome.address;
    outcome.waitedMs = serverAnswers ? 1 : 1000;
    return outcome;
  }
  ProgramOutcome RunProgram(const std::string& commandLine, bool wait, bool show) override {
    Waited("run:" + commandLine + Flags({wait, show}));
    ProgramOutcome outcome;
    outcome.started = commandLine != "missing.exe";
    outcome.error = outcome.started ? 0 : 2;
    if (outcome.started) outcome.exitCode = commandLine == "fails.exe" ? 3 : 0;
    outcome.runMs = 5;
    return outcome;
  }
  RunRecord& Record() override { return record; }
  RecordingRecord record;

  Log Only(const std::string& prefix) const {
    Log out;
    for (const std::string& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }

 private:
  static std::string Flags(std::initializer_list<bool> flags) {
    std::string s;
    for (bool f : flags) s += f ? "|1" : "|0";
    return s;
  }
  void Waited(std::string request) {
    log.push_back(std::move(request));
    if (sessionEnded || !sessionEndsIn || !sessionEndsIn(log)) return;
    sessionEnded = true;
    writesAtTheEnd = profile.writes.size();
    registryWritesAtTheEnd = static_cast<std::size_t>(registry.writes);
    if (endsWith_ != nullptr) EndRunWithTheSession(*this, *endsWith_);
  }
  bool halted_ = false;
  ModalResult modalResult_ = ModalResult::None;
  RoamingState* endsWith_ = nullptr;
};

}  // namespace kestel::testing
