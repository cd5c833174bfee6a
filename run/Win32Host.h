// The run's host on Windows: each request goes to the real module.
#pragma once

#include <windows.h>

#include <memory>

#include "env/Environ.h"
#include "proxy/InternetSettingsWin32.h"
#include "proxy/RegistryWin32.h"
#include "record/RunRecordWin32.h"
#include "run/Run.h"
#include "settings/DataProtectionWin32.h"
#include "settings/PolicyWin32.h"
#include "settings/SettingsWin32.h"
#include "ui/Application.h"
#include "ui/LogonWindow.h"
#include "ui/OffThread.h"

namespace kestel {

class Win32Host final : public RoamingHost {
 public:
  explicit Win32Host(HINSTANCE instance) : instance_(instance) {
    file_.OnReencoded([this](const std::string& path, const std::string& key, unsigned codePage) {
      RecordIfOn(record_, [&] { return SettingsReencodedEvent(path, key, codePage); });
    });
  }

  void SetApplicationTitle(const std::string& title) override;
  void CreateMainWindow() override;
  void ProcessMessages() override;
  void ShowMainWindow() override;
  void SetStatus(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void SetWindowHeight(int outerHeight) override;
  void FocusUserName() override;
  void HideMainWindow() override;
  ModalResult ShowModal() override;
  bool HaltRequested() const override;
  ModalResult LastModalResult() const override;
  std::string UserNameText() const override;
  std::string PasswordText() const override;
  bool SessionEnded() const override { return application_.SessionEnded(); }
  std::string EnvironmentValueOf(const std::string& name) const override;
  std::string AppDirectory() const override;
  bool FileExists(const std::string& path) const override;
  ProfileApi& Profile() override { return profile_; }
  const Policy& ReadPolicy() override { return profile_.Refresh(); }
  RegistryAccess& CreateRegistry() override;
  UserDataProtection& Protection() override { return protection_; }
  ConnectionOptions& Connections() override { return internet_; }
  void NotifyInternetSettingsChanged() override { internet_.SettingsChanged(); }
  std::uint32_t UnmapDrive(const std::string& device, bool showErrors, bool force, bool updateProfile) override;
  std::uint32_t MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors, bool noPrompting,
                         const std::string& userName, const std::string& password) override;
  ProbeOutcome PingHost(const std::string& server) override;
  ProgramOutcome RunProgram(const std::string& commandLine, bool wait, bool show) override;
  RunRecord& Record() override { return record_; }

  // The run's end goes on record inside the session's last message to the logon window, which may be
  // the last thing the process does.
  void EndWithTheSession(RoamingState& state) {
    application_.WhenSessionEnds([this, &state] { EndRunWithTheSession(*this, state); });
  }

  // What a follower takes on after the run: the application, the logon window's end, and the local
  // time of the run's decision (when its probe answered or did not).
  Application& App() noexcept { return application_; }
  void CloseLogonWindow() { logonWindow_.reset(); }
  const SYSTEMTIME& DecidedAt() const noexcept { return decidedAt_; }

 private:
  HINSTANCE instance_;
  Application application_;
  // Every call that waits on the network or a program, the follower's included.
  OffThread offThread_{application_};
  // Taken as the logon window is created, and never refreshed: placeholders see the environment the
  // process started the run with.
  EnvironmentSnapshot environment_;
  std::unique_ptr<LogonWindow> logonWindow_;
  std::unique_ptr<Win32Registry> registry_;
  Win32Profile file_;
  Advapi32PolicyCalls policyCalls_;
  Win32PolicyStore policyStore_{policyCalls_};
  PolicyProfile profile_{file_, policyStore_};
  Win32UserDataProtection protection_;
  Win32InternetOptions internet_;
  Win32RunRecord record_;
  SYSTEMTIME decidedAt_{};
};

}  // namespace kestel
