#include "run/Win32Host.h"

#include "base/Utf.h"
#include "env/EnvironWin32.h"
#include "launch/AppDirectoryWin32.h"
#include "launch/Launch.h"
#include "net/PingUtil.h"
#include "net/uncmap.h"
#include "ui/NoticeBox.h"

namespace kestel {

void Win32Host::SetApplicationTitle(const std::string& title) {
  application_.SetTitle(title);
}

void Win32Host::CreateMainWindow() {
  environment_ = TakeEnvironmentSnapshot();
  logonWindow_ = std::make_unique<LogonWindow>(instance_, application_);
}

void Win32Host::ProcessMessages() {
  application_.ProcessMessages();
}
void Win32Host::ShowMainWindow() {
  logonWindow_->Show();
}
void Win32Host::SetStatus(const std::string& text) {
  logonWindow_->SetStatus(text);
}
void Win32Host::ShowNotice(const std::string& text) {
  kestel::ShowNotice(application_, text);
}
void Win32Host::SetWindowHeight(int outerHeight) {
  logonWindow_->SetOuterHeight(outerHeight);
}
void Win32Host::FocusUserName() {
  logonWindow_->FocusUserName();
}
void Win32Host::HideMainWindow() {
  logonWindow_->Hide();
}
ModalResult Win32Host::ShowModal() {
  return logonWindow_->ShowModal();
}
bool Win32Host::HaltRequested() const {
  return logonWindow_->HaltRequested();
}
ModalResult Win32Host::LastModalResult() const {
  return logonWindow_->LastModalResult();
}
std::string Win32Host::UserNameText() const {
  return logonWindow_->UserNameText();
}
std::string Win32Host::PasswordText() const {
  return logonWindow_->PasswordText();
}
std::string Win32Host::EnvironmentValueOf(const std::string& name) const {
  return environment_.ValueOf(name);
}

std::string Win32Host::AppDirectory() const {
  return kestel::AppDirectory;
}

bool Win32Host::FileExists(const std::string& path) const {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

RegistryAccess& Win32Host::CreateRegistry() {
  registry_ = std::make_unique<Win32Registry>();
  return *registry_;
}

// Each call that waits on the network or on a program runs off the window's thread, which goes on
// answering meanwhile; its box, when asked for, still comes on the window's thread after it, owned
// as before. An add with CONNECT_INTERACTIVE may show the provider's own dialog: it belongs to the
// worker, owned by the logon window, whose thread answers it as it waits.
std::uint32_t Win32Host::UnmapDrive(const std::string& device, bool showErrors, bool force, bool updateProfile) {
  const DWORD result = offThread_.Result([&] { return CancelDriveConnection(device, force, updateProfile); });
  return TellDriveFailure(DriveCall::Cancel, result, showErrors);
}

std::uint32_t Win32Host::MapDrive(const std::string& localName, const std::string& remoteName, bool showErrors,
                                  bool noPrompting, const std::string& userName, const std::string& password) {
  HWND owner = logonWindow_ ? logonWindow_->Handle() : nullptr;
  const DWORD result = offThread_.Result(
      [&] { return AddDriveConnection(localName, remoteName, noPrompting, owner, userName, password); });
  // A box after the session's end would hold up the program's end for nobody to read it.
  return TellDriveFailure(DriveCall::Add, result, showErrors && !application_.SessionEnded());
}

// The lookup and the echo, a second or more each when the name or the server is not there.
ProbeOutcome Win32Host::PingHost(const std::string& server) {
  const ProbeOutcome outcome = offThread_.Result([&] { return ProbeHost(server); });
  GetLocalTime(&decidedAt_);
  return outcome;
}

ProgramOutcome Win32Host::RunProgram(const std::string& commandLine, bool wait, bool show) {
  return offThread_.Result([&] { return LaunchProgram(commandLine, wait, show); });
}

}  // namespace kestel
