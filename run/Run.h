// The roaming run: the one straight-line pass from start-up to a halt.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "proxy/ConnectionOptions.h"
#include "proxy/InternetSettings.h"
#include "proxy/Registry.h"
#include "record/RunRecord.h"
#include "run/RunRecordEvents.h"
#include "settings/Config.h"
#include "settings/Policy.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"
#include "ui/ModalResult.h"

namespace kestel {

inline constexpr const char* kApplicationTitle = "KESTEL Network Roaming Software";

// Everything the run asks of the platform, so that its order and its ends can be checked with a
// recording stand-in. The product's host forwards each call to the real module.
class RoamingHost {
 public:
  virtual ~RoamingHost() = default;

  // The application and its one window, which shows the status and doubles as the logon dialog.
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void CreateMainWindow() = 0;
  virtual void ProcessMessages() = 0;
  virtual void ShowMainWindow() = 0;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void ShowNotice(const std::string& text) = 0;
  virtual void SetWindowHeight(int outerHeight) = 0;
  virtual void FocusUserName() = 0;
  virtual void HideMainWindow() = 0;
  virtual ModalResult ShowModal() = 0;
  virtual bool HaltRequested() const = 0;
  virtual ModalResult LastModalResult() const = 0;
  virtual std::string UserNameText() const = 0;
  virtual std::string PasswordText() const = 0;
  virtual std::string EnvironmentValueOf(const std::string& name) const = 0;

  // Files, settings and registry.
  virtual std::string AppDirectory() const = 0;
  virtual bool FileExists(const std::string& path) const = 0;
  // kestel.ini, with the policy last read over it.
  virtual ProfileApi& Profile() = 0;
  // Reads the policy in force now, which Profile() reads over kestel.ini from then on.
  virtual const Policy& ReadPolicy() = 0;
  virtual RegistryAccess& CreateRegistry() = 0;
  virtual UserDataProtection& Protection() = 0;
  // The proxy options each connection keeps for itself.
  virtual ConnectionOptions& Connections() = 0;
  // Tells programs already running that the internet settings in the registry have changed.
  virtual void NotifyInternetSettingsChanged() = 0;

  // True once the session ends: Windows said so, or Restart Manager asked the program to close. Asked
  // before each step, so that none starts after it; a step under way completes.
  virtual bool SessionEnded() const = 0;

  // Network drives, the probe and programs.
  virtual std::uint32_t UnmapDrive(const std::string& device, bool showErrors, bool force, bool updateProfile) = 0;
  // The owner window is the logon window.
  virtual std::uint32_t MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors,
                                 bool noPrompting, const std::string& userName, const std::string& password) = 0;
  virtual ProbeOutcome PingHost(const std::string& server) = 0;
  virtual ProgramOutcome RunProgram(const std::string& commandLine, bool wait, bool show) = 0;

  // The run's record, alive from the start to the end of the process.
  virtual RunRecord& Record() = 0;
};

// What the run holds for the life of the process.
struct RoamingState {
  TConfig Config;
  TStringList KeyNames;
  TStringList KeyLines;
  bool MapFailed = false;
  // How the run ended, once it has.
  std::optional<RunEnd> End;
};

// Runs to a halt and returns the exit code (0). Errors raised on the way are recorded, not caught.
int RunRoaming(RoamingHost& host, RoamingState& state);
// The session ends while the run waits in a step. Called inside the system's message, since the
// process may be ended as soon as that returns: the run's end goes on record there and then, and the
// run records no other end. Nothing once the run has ended.
void EndRunWithTheSession(RoamingHost& host, RoamingState& state);

// Steps of the run that a follower repeats after it.
// Everything after "key=" in line i of a section, as ReadSectionLines gives it.
std::string ValueOfLine(const TStringList& lines, const TStringList& names, std::size_t i);
// After the away step: running programs are told of a set that was applied (a capture changed
// nothing), and the record gets the set's line, a refused script, and each connection that failed
// (a phonebook entry also when it was set).
void FinishAwaySet(RoamingHost& host, const InternetSetOutcome& away, const TConfig& config);
// Puts the local set into force, tells running programs, and records it as the away step does.
void PutLocalSetInForce(RoamingHost& host, SettingsFile& settings, RegistryAccess& registry, TConfig& config);
// text with its placeholders filled; %INTERNALUSERNAME% is userName.
std::string ExpandForRun(RoamingHost& host, const std::string& userName, const std::string& text);
// Runs each program of a program section in file order, each to its end, hidden unless "HideScripts"
// is 0, and records each; names and lines are refilled with the section. goOn is asked before each.
void RunSectionPrograms(RoamingHost& host, SettingsFile& settings, const SettingKey& section,
                        const std::string& userName, TConfig& config, TStringList& names, TStringList& lines,
                        const std::function<bool()>& goOn = {});
// An error that ends the run, as its box and the record name it. The texts live in the exception.
struct UncaughtError {
  const char* kind;
  const char* message;
  const void* address;  // where it was raised; null for the runtime's own errors
};
// Names the exception being handled, in one place for the record and the box alike. Only inside a
// catch of std::exception.
UncaughtError CurrentUncaughtError() noexcept;
// Records the end that an error raised by RunRoaming led to, once its box is answered; returns exitCode.
int RecordUncaughtErrorEnd(RunRecord& record, int exitCode);

}  // namespace kestel
