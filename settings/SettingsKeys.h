// Every key of kestel.ini, once: its section, name, kind, default and marker. The run, the internet
// settings switch, the stored password and kestel-check all take names, kinds and defaults from
// here, and the named keys and the checker's table are both expanded from one list, so a key added
// later is added in this one place and the checker knows it at once.
#pragma once

#include <cstddef>
#include <iterator>
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
  // A text's default.
  std::string_view defaultValue{};
  // A flag's default.
  bool flagDefault = false;
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

// A flag with its default, and what that default does in the checker's words.
constexpr SettingKey Flag(std::string_view section, std::string_view name, bool flagDefault,
                          std::string_view defaultMeaning) {
  return {.section = section,
          .name = name,
          .kind = SettingKind::Flag,
          .flagDefault = flagDefault,
          .defaultMeaning = defaultMeaning};
}

// The keys of one proxy set; the away and the local set each have one group, spelt alike.
struct ProxySetKeys {
  SettingKey enabled, exceptions, server, script, autoDetect, homePage;
};

namespace keys {

inline constexpr std::string_view kScripts = "SCRIPTS";
inline constexpr std::string_view kConnection = "connection";
inline constexpr std::string_view kUser = "user";
inline constexpr std::string_view kAwaySection = "awayinternetsettings";
inline constexpr std::string_view kLocalSection = "localinternetsettings";

// The group of a set whose keys are PREFIX followed by the same words in every set. The script and
// "Automatically detect settings" of each set: missing leaves them as the connection has them; an
// empty script URL clears it.
#define KESTEL_PROXY_SET_KEYS(SECTION, PREFIX, HOME_PAGE_MARKER)                             \
  ProxySetKeys {                                                                             \
    .enabled = Flag(SECTION, PREFIX "proxyenabled", false, "no proxy"),                      \
    .exceptions = {.section = SECTION, .name = PREFIX "proxyexceptions"},                    \
    .server = {.section = SECTION, .name = PREFIX "proxyserver"},                            \
    .script = {.section = SECTION,                                                           \
               .name = PREFIX "autoconfigurl",                                               \
               .defaultMeaning = "the automatic configuration script is left as it was",     \
               .form = TextForm::WebAddress,                                                 \
               .leavesWhenMissing = true},                                                   \
    .autoDetect = {.section = SECTION,                                                       \
                   .name = PREFIX "autodetect",                                              \
                   .kind = SettingKind::Flag,                                                \
                   .defaultMeaning = "\"Automatically detect settings\" is left as it was",  \
                   .leavesWhenMissing = true},                                               \
    .homePage = {.section = SECTION, .name = PREFIX "homepage", .marker = HOME_PAGE_MARKER}, \
  }

// The away set. Its start page, written last by a capture, is what makes later runs apply: the marker
// is only asked for when the run decides between capturing and applying; applying reads the start
// page with the empty default, as every other key of the set.
inline constexpr ProxySetKeys kAway = KESTEL_PROXY_SET_KEYS(kAwaySection, "away", "NOAWAYHOMEPAGE");
inline constexpr ProxySetKeys kLocal = KESTEL_PROXY_SET_KEYS(kLocalSection, "local", "");
#undef KESTEL_PROXY_SET_KEYS

// Every key of kestel.ini once, sections in the order a settings file lists them, each section's keys
// together: KEY(constant, initialiser) defines a key of its own, SET(group, member) takes one from a
// proxy set's group, in the order the checker has always listed that section.
#define KESTEL_SETTING_KEYS(KEY, SET)                                                                           \
  KEY(kShowMapErrors, Flag(kScripts, "showmaperrors", false, "one notice for all failed drives"))               \
  KEY(kHideScripts, Flag(kScripts, "HideScripts", true, "programs start hidden"))                               \
  KEY(kLogFile, {.section = kScripts, .name = "logfile", .form = TextForm::Placeholders})                       \
  KEY(kEventLog, Flag(kScripts, "eventlog", false, "no event log"))                                             \
  KEY(kAllConnections, Flag(kScripts, "allconnections", false, "the proxy sets reach the LAN connection only")) \
  /* After the logon run Kestel stays resident and switches again when the network changes. */                  \
  KEY(kFollow, Flag(kScripts, "follow", false, "Kestel ends after the logon run"))                              \
  KEY(kFollowPrograms, Flag(kScripts, "followprograms", false, "a switch while following runs no programs"))    \
  KEY(kServer, {.section = kConnection, .name = "server", .defaultValue = "NOSERVER", .marker = "NOSERVER"})    \
  KEY(kUserName, {.section = kUser, .name = "username", .defaultValue = "NOUSER", .marker = "NOUSER"})          \
  KEY(kPassword, {.section = kUser, .name = "password", .defaultValue = "NOPASS", .marker = "NOPASS"})          \
  KEY(kProtectPassword, Flag(kUser, "protectpassword", false, "stored as typed"))                               \
  KEY(kMappings, {.section = "mappings", .kind = SettingKind::List, .list = ListOf::Drives})                    \
  SET(kAway, enabled)                                                                                           \
  SET(kAway, exceptions)                                                                                        \
  SET(kAway, server)                                                                                            \
  SET(kAway, script)                                                                                            \
  SET(kAway, autoDetect)                                                                                        \
  SET(kAway, homePage)                                                                                          \
  SET(kLocal, enabled)                                                                                          \
  SET(kLocal, server)                                                                                           \
  SET(kLocal, exceptions)                                                                                       \
  SET(kLocal, homePage)                                                                                         \
  SET(kLocal, script)                                                                                           \
  SET(kLocal, autoDetect)                                                                                       \
  KEY(kLocalPrograms, {.section = "localpostscripts", .kind = SettingKind::List, .list = ListOf::Programs})     \
  KEY(kAwayPrograms, {.section = "awaypostscripts", .kind = SettingKind::List, .list = ListOf::AwayPrograms})

#define KESTEL_DEFINE_KEY(constant, ...) inline constexpr SettingKey constant = __VA_ARGS__;
#define KESTEL_NO_KEY(group, member)
KESTEL_SETTING_KEYS(KESTEL_DEFINE_KEY, KESTEL_NO_KEY)
#undef KESTEL_DEFINE_KEY
#undef KESTEL_NO_KEY

}  // namespace keys

// The user name and password: never from Group Policy, whose values every user of the domain can read.
constexpr bool IsCredential(const SettingKey& key) {
  return &key == &keys::kUserName || &key == &keys::kPassword;
}

// Every key, as the list gives them.
#define KESTEL_KEY_OF_LIST(constant, ...) &keys::constant,
#define KESTEL_SET_KEY_OF_LIST(group, member) &keys::group.member,
inline constexpr const SettingKey* kSettingKeys[] = {KESTEL_SETTING_KEYS(KESTEL_KEY_OF_LIST, KESTEL_SET_KEY_OF_LIST)};
#undef KESTEL_KEY_OF_LIST
#undef KESTEL_SET_KEY_OF_LIST

namespace keycheck {

constexpr bool Listed(const SettingKey& key) {
  for (const SettingKey* listed : kSettingKeys)
    if (listed == &key) return true;
  return false;
}

constexpr bool EveryKeyOfTheSetListed(const ProxySetKeys& set) {
  return Listed(set.enabled) && Listed(set.exceptions) && Listed(set.server) && Listed(set.script) &&
         Listed(set.autoDetect) && Listed(set.homePage);
}

// A section, once left, never comes back: the checker reads each section's keys as one run.
constexpr bool SectionsStandTogether() {
  constexpr std::size_t count = std::size(kSettingKeys);
  for (std::size_t i = 1; i < count; ++i) {
    if (kSettingKeys[i]->section == kSettingKeys[i - 1]->section) continue;
    for (std::size_t j = 0; j + 1 < i; ++j)
      if (kSettingKeys[j]->section == kSettingKeys[i]->section) return false;
  }
  return true;
}

constexpr bool NamedOnce() {
  for (std::size_t i = 0; i < std::size(kSettingKeys); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (kSettingKeys[i]->section == kSettingKeys[j]->section && kSettingKeys[i]->name == kSettingKeys[j]->name)
        return false;
  return true;
}

}  // namespace keycheck

// The checker knows every key that Kestel reads, each section in one piece.
static_assert(keycheck::EveryKeyOfTheSetListed(keys::kAway) && keycheck::EveryKeyOfTheSetListed(keys::kLocal),
              "a key of a proxy set is missing from the list");
static_assert(keycheck::SectionsStandTogether(), "a section's keys are split in the list");
static_assert(keycheck::NamedOnce(), "a key stands twice in the list");

}  // namespace kestel
