// kestel.exe: runs once at logon, from start-up to a halt, and with follow=1 follows the network after
// it; kestel.exe /check and /stop reach a follower that runs.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/ErrorBox.h"
#include "follow/FollowWin32.h"
#include "launch/AppDirectoryWin32.h"
#include "run/Win32Host.h"

// Every error the run raises is caught below. The runtime's default handler for one that escapes
// anyway would print a demangled type name to a console this program does not have, and brings its
// own demangler (a sixth of the executable's size) for it.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  if (const auto command = kestel::ParseFollowerCommand(commandLine != nullptr ? commandLine : "");
      command != kestel::FollowerCommand::None)
    return kestel::SendFollowerCommand(command);
  kestel::InitAppDirectory();
  kestel::TidySettingsLeftovers(kestel::AppDirectory + std::string(kestel::kSettingsFileName));
  kestel::Win32Host host(instance);
  static kestel::RoamingState state;  // lives until the process ends, as the run expects
  host.EndWithTheSession(state);
  try {
    return kestel::FollowAfterLogon(host, state, kestel::RunRoaming(host, state), instance);
  } catch (const std::exception&) {
    const kestel::UncaughtError error = kestel::CurrentUncaughtError();
    return kestel::RecordUncaughtErrorEnd(host.Record(),
                                          kestel::ReportUncaughtError(error.kind, error.message, error.address));
  }
}
