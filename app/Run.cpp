#include "app/Run.h"

#include "app/InternetSettings.h"
#include "env/Placeholders.h"

namespace kestel {

namespace {

// Marker defaults: a value equal to one of them (whole text, case-sensitive) counts as missing.
constexpr const char* kNoServer = "NOSERVER";
constexpr const char* kNoUser = "NOUSER";
constexpr const char* kNoPass = "NOPASS";

constexpr int kLogonDialogHeight = 210;
constexpr int kModalResultLogon = 1;

// Everything after "key=" in a line of ReadSectionLines. The two section reads agree unless the
// file changed between them; a line that is then shorter than its key gives the empty text.
std::string ValueOfLine(const TStringList& lines, const TStringList& names, std::size_t i) {
  const std::string& line = lines[i];
  const std::size_t skip = i < names.size() ? names[i].size() + 1 : 0;
  return skip <= line.size() ? line.substr(skip) : std::string();
}

class Run {
 public:
  Run(RoamingHost& host, RoamingState& state) : host_(host), s_(state) {}

  int Execute() {
    // Start-up.
    host_.SetApplicationTitle(kApplicationTitle);
    host_.CreateMainWindow();
    host_.ProcessMessages();
    host_.ShowMainWindow();
    s_.KeyNames.clear();
    s_.KeyLines.clear();
    RegistryAccess& registry = host_.CreateRegistry();
    const std::string path = host_.AppDirectory() + "kestel.ini";
    if (!host_.FileExists(path)) {
      host_.ShowNotice("KESTEL.INI Not Found, this utility cannot work");
      return 0;
    }
    SettingsFile settings(path, host_.Profile());
    TConfig& c = s_.Config;

    // Initialisation.
    Status("Initialising..");
    c.ShowMapErrors = settings.ReadSettingFlag("SCRIPTS", "showmaperrors", false);
    settings.ReadSectionKeys("mappings", s_.KeyNames);
    for (const std::string& device : s_.KeyNames) host_.UnmapDrive(device, false, true, true);
    if (SwitchToAwaySettings(settings, registry, c)) host_.NotifyInternetSettingsChanged();

    // Server and probe.
    c.Server = settings.ReadSettingText("connection", "server", kNoServer);
    if (c.Server == kNoServer) {
      host_.ShowNotice("No [CONNECTION] or SERVER= line in KESTEL.INI");
      return 0;
    }
    Status("Searching for server " + c.Server);
    if (!host_.PingHost(c.Server)) return RunPrograms(settings, "Running Away Scripts", "awaypostscripts");

    // Home: credentials, from the file or from the logon dialog.
    c.UserName = settings.ReadSettingText("user", "username", kNoUser);
    const StoredPassword password(settings.ReadSettingText("user", "password", kNoPass), kNoPass, host_.Protection());
    c.Password = password.Usable().value_or(kNoPass);
    if (c.UserName == kNoUser || password.Missing()) {
      Status("Please provide logon details for " + c.Server);
      host_.SetWindowHeight(kLogonDialogHeight);
      host_.FocusUserName();
      host_.HideMainWindow();
      host_.ShowModal();
      if (host_.HaltRequested()) return 0;
      if (host_.ModalResult() == kModalResultLogon) {
        c.UserName = host_.UserNameText();
        c.Password = host_.PasswordText();
      }
    }

    // Drives.
    Status("Mapping Drives " + c.Server);
    settings.ReadSectionKeys("mappings", s_.KeyNames);
    settings.ReadSectionLines("mappings", s_.KeyLines);
    s_.MapFailed = false;
    for (std::size_t i = 0; i < s_.KeyNames.size() && i < s_.KeyLines.size(); ++i) {
      s_.KeyLines[i] = Expand(ValueOfLine(s_.KeyLines, s_.KeyNames, i));
      if (host_.MapDrive(s_.KeyNames[i], s_.KeyLines[i], c.ShowMapErrors, false, c.UserName, c.Password) != 0)
        s_.MapFailed = true;
    }
    if (s_.MapFailed) {
      if (!c.ShowMapErrors)
        host_.ShowNotice(
            "An error occured mapping one or more drives. For Details enable showMapErrors=1 in under [SCRIPTS] "
            "section of KESTEL.INI");
      return 0;
    }
    c.ProtectPassword = settings.ReadSettingFlag("user", "protectpassword", false);
    if (host_.ModalResult() == kModalResultLogon) {
      settings.WriteSettingText("user", "username", c.UserName);
      password.SaveTyped(settings, c.Password, c.ProtectPassword);
    } else {
      password.ProtectInPlace(settings, c.ProtectPassword);
    }

    Status("Configuring Internet Settings");
    SwitchToLocalSettings(settings, registry, c);
    host_.NotifyInternetSettingsChanged();
    return RunPrograms(settings, "Running Post Logon Program", "localpostscripts");
  }

 private:
  void Status(const std::string& text) {
    host_.SetStatus(text);
    host_.ProcessMessages();
  }

  std::string Expand(const std::string& text) {
    return ExpandPlaceholders(text, [this](const std::string& name) {
      return LookupPlaceholder(name, s_.Config.UserName,
                               [this](const std::string& n) { return host_.EnvironmentValueOf(n); });
    });
  }

  int RunPrograms(SettingsFile& settings, const std::string& status, const std::string& section) {
    Status(status);
    settings.ReadSectionKeys(section, s_.KeyNames);
    settings.ReadSectionLines(section, s_.KeyLines);
    s_.Config.HideScripts = settings.ReadSettingFlag("Scripts", "HideScripts", true);
    for (std::size_t i = 0; i < s_.KeyLines.size(); ++i) {
      s_.KeyLines[i] = Expand(ValueOfLine(s_.KeyLines, s_.KeyNames, i));
      host_.RunProgram(s_.KeyLines[i], true, !s_.Config.HideScripts);
    }
    return 0;
  }

  RoamingHost& host_;
  RoamingState& s_;
};

}  // namespace

int RunRoaming(RoamingHost& host, RoamingState& state) {
  return Run(host, state).Execute();
}

}  // namespace kestel
