// Every key of kestel.ini, once: its section, name, kind, default and marker. The run, the internet
// settings switch, the stored password and kestel-check all take names, kinds and defaults from
// here, so a key added later is added in this one place and the checker knows it at once.
#pragma once

#include <string_view>

namespace kestel {

// The settings file, beside kestel.exe.
inline constexpr std::string_view kSettingsFileName = "kestel.ini";

// What the run says when the settings it cannot do without are missing; the checker quotes them.
inline constexpr const char* kNoSettingsFileNotice = "KESTEL.INI Not Found, this utility cannot work";
inline constexpr const char* kNoServerNotice = "No [CONNECTION] or SERVER= line in KESTEL.INI";

enum class SettingKind {
  Flag,  // a number: 0 is off, any other on, anything else the default
  Text,
  List,  // a whole section whose keys Kestel lists and uses in file order
};

// What a list section's lines are.
enum class ListOf { None, Drives, Programs, AwayPrograms };

// What a text holds, beyond its length, for the checker to look at.
enum class TextForm {
  Plain,
  Placeholders,
  WebAddress,  // http:// or https:// only; empty is allowed where it means "none"
};

struct SettingKey {
  std::string_view section{};
  std::string_view name{};  // empty for a list section
  SettingKind kind = SettingKind::Text;
  // As the file would spell it: "0" or "1" for a flag.
  std::string_view defaultValue{};
  // A default that no real value may take: reading it back means "not configured". Compared as whole,
  // case-sensitive text. Empty: the key has none.
  std::string_view marker{};
  // What a flag's default does, in the checker's words.
  std::string_view defaultMeaning{};
  ListOf list = ListOf::None;
  TextForm form = TextForm::Plain;
  // A missing key (and, for a flag, one that is no number) leaves the platform's own setting as it
  // is: the key has no default, and defaultMeaning says what is left alone.
  bool leavesWhenMissing = false;
};

namespace keys {

inline constexpr std::string_view kScripts = "SCRIPTS";
inline constexpr std::string_view kConnection = "connection";
inline constexpr std::string_view kUser = "user";
inline constexpr std::string_view kAway = "awayinternetsettings";
inline constexpr std::string_view kLocal = "localinternetsettings";

inline constexpr SettingKey kShowMapErrors{.section = kScripts,
                                           .name = "showmaperrors",
                                           .kind = SettingKind::Flag,
                                           .defaultValue = "0",
                                           .defaultMeaning = "one notice for all failed drives"};
inline constexpr SettingKey kHideScripts{.section = kScripts,
                                         .name = "HideScripts",
                                         .kind = SettingKind::Flag,
                                         .defaultValue = "1",
                                         .defaultMeaning = "programs start hidden"};
inline constexpr SettingKey kLogFile{.section = kScripts, .name = "logfile", .form = TextForm::Placeholders};
inline constexpr SettingKey kEventLog{.section = kScripts,
                                      .name = "eventlog",
                                      .kind = SettingKind::Flag,
                                      .defaultValue = "0",
                                      .defaultMeaning = "no event log"};
inline constexpr SettingKey kAllConnections{.section = kScripts,
                                            .name = "allconnections",
                                            .kind = SettingKind::Flag,
                                            .defaultValue = "0",
                                            .defaultMeaning = "the proxy sets reach the LAN connection only"};
// After the logon run Kestel stays resident and switches again when the network changes.
inline constexpr SettingKey kFollow{.section = kScripts,
                                    .name = "follow",
                                    .kind = SettingKind::Flag,
                                    .defaultValue = "0",
                                    .defaultMeaning = "Kestel ends after the logon run"};
inline constexpr SettingKey kFollowPrograms{.section = kScripts,
                                            .name = "followprograms",
                                            .kind = SettingKind::Flag,
                                            .defaultValue = "0",
                                            .defaultMeaning = "a switch while following runs no programs"};

inline constexpr SettingKey kServer{
    .section = kConnection, .name = "server", .defaultValue = "NOSERVER", .marker = "NOSERVER"};

inline constexpr SettingKey kUserName{
    .section = kUser, .name = "username", .defaultValue = "NOUSER", .marker = "NOUSER"};
inline constexpr SettingKey kPassword{
    .section = kUser, .name = "password", .defaultValue = "NOPASS", .marker = "NOPASS"};
inline constexpr SettingKey kProtectPassword{.section = kUser,
                                             .name = "protectpassword",
                                             .kind = SettingKind::Flag,
                                             .defaultValue = "0",
                                             .defaultMeaning = "stored as typed"};

inline constexpr SettingKey kMappings{.section = "mappings", .kind = SettingKind::List, .list = ListOf::Drives};

// The away set. The marker is only asked for when the run decides between capturing and applying;
// applying reads the start page with the empty default, as every other key of the set.
inline constexpr SettingKey kAwayProxyEnabled{.section = kAway,
                                              .name = "awayproxyenabled",
                                              .kind = SettingKind::Flag,
                                              .defaultValue = "0",
                                              .defaultMeaning = "no proxy"};
inline constexpr SettingKey kAwayProxyExceptions{.section = kAway, .name = "awayproxyexceptions"};
inline constexpr SettingKey kAwayProxyServer{.section = kAway, .name = "awayproxyserver"};
// The script and "Automatically detect settings" of each set: missing leaves them as the connection has
// them; an empty script URL clears it.
inline constexpr SettingKey kAwayAutoConfigUrl{.section = kAway,
                                               .name = "awayautoconfigurl",
                                               .defaultMeaning = "the automatic configuration script is left as it was",
                                               .form = TextForm::WebAddress,
                                               .leavesWhenMissing = true};
inline constexpr SettingKey kAwayAutoDetect{.section = kAway,
                                            .name = "awayautodetect",
                                            .kind = SettingKind::Flag,
                                            .defaultMeaning = "\"Automatically detect settings\" is left as it was",
                                            .leavesWhenMissing = true};
// Written last by a capture: its presence is what makes later runs apply.
inline constexpr SettingKey kAwayHomePage{.section = kAway, .name = "awayhomepage", .marker = "NOAWAYHOMEPAGE"};

inline constexpr SettingKey kLocalProxyEnabled{.section = kLocal,
                                               .name = "localproxyenabled",
                                               .kind = SettingKind::Flag,
                                               .defaultValue = "0",
                                               .defaultMeaning = "no proxy"};
inline constexpr SettingKey kLocalProxyServer{.section = kLocal, .name = "localproxyserver"};
inline constexpr SettingKey kLocalProxyExceptions{.section = kLocal, .name = "localproxyexceptions"};
inline constexpr SettingKey kLocalHomePage{.section = kLocal, .name = "localhomepage"};
inline constexpr SettingKey kLocalAutoConfigUrl{.section = kLocal,
                                                .name = "localautoconfigurl",
                                                .defaultMeaning = kAwayAutoConfigUrl.defaultMeaning,
                                                .form = TextForm::WebAddress,
                                                .leavesWhenMissing = true};
inline constexpr SettingKey kLocalAutoDetect{.section = kLocal,
                                             .name = "localautodetect",
                                             .kind = SettingKind::Flag,
                                             .defaultMeaning = kAwayAutoDetect.defaultMeaning,
                                             .leavesWhenMissing = true};

inline constexpr SettingKey kLocalPrograms{
    .section = "localpostscripts", .kind = SettingKind::List, .list = ListOf::Programs};
inline constexpr SettingKey kAwayPrograms{
    .section = "awaypostscripts", .kind = SettingKind::List, .list = ListOf::AwayPrograms};

}  // namespace keys

// Every key, sections in the order a settings file lists them.
inline constexpr const SettingKey* kSettingKeys[] = {
    &keys::kShowMapErrors,
    &keys::kHideScripts,
    &keys::kLogFile,
    &keys::kEventLog,
    &keys::kAllConnections,
    &keys::kFollow,
    &keys::kFollowPrograms,
    &keys::kServer,
    &keys::kUserName,
    &keys::kPassword,
    &keys::kProtectPassword,
    &keys::kMappings,
    &keys::kAwayProxyEnabled,
    &keys::kAwayProxyExceptions,
    &keys::kAwayProxyServer,
    &keys::kAwayAutoConfigUrl,
    &keys::kAwayAutoDetect,
    &keys::kAwayHomePage,
    &keys::kLocalProxyEnabled,
    &keys::kLocalProxyServer,
    &keys::kLocalProxyExceptions,
    &keys::kLocalHomePage,
    &keys::kLocalAutoConfigUrl,
    &keys::kLocalAutoDetect,
    &keys::kLocalPrograms,
    &keys::kAwayPrograms,
};

}  // namespace kestel
