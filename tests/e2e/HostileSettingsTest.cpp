// Hand-edited, copied and damaged settings files fed to the real kestel.exe: every run must end the
// way its table row says (a normal end, a notice, or the "Application Error" box with exit code 1),
// never crash or hang, and leave kestel.ini holding exactly what the run meant to write.
//
// kestel.ini's reader follows the rules of the platform's private-profile reader; where a row shows a
// surprising reading, the expectation records what that reader does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../../ui/ControlIds.h"
#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;
using kestel::testing::Dword;
using kestel::testing::ProfileValues;
using kestel::testing::SavedUserProfile;
using kestel::testing::Sz;
using namespace std::string_literals;

constexpr const char* kTitle = "KESTEL Network Roaming Software";
constexpr const char* kErrorCaption = "Application Error";
constexpr const char* kNoServer = "No [CONNECTION] or SERVER= line in KESTEL.INI";
constexpr const char* kFormClass = "KestelStatusWindow";
constexpr const char* kProgramLog = "programs.log";
constexpr const char* kMprLog = "mpr.log";
// Inside the test's network namespace a name lookup fails at once, so these runs are away.
constexpr const char* kAwayServer = "kestel-home.invalid";

// The user's web settings while a row runs, and the away set a first run captures from them.
const ProfileValues kUserSettings = {Dword(1), Sz("<local>;*.away"), Sz("127.0.0.7:8080"), Sz("http://away.invalid/")};
const std::string kCapturedAwaySet =
    "[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayproxyexceptions=<local>;*.away\r\n"
    "awayproxyserver=127.0.0.7:8080\r\nawayhomepage=http://away.invalid/\r\n";
// Stored beforehand, so that the run has nothing of its own to write.
const std::string kStoredAwaySet =
    "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyserver=\r\nawayproxyexceptions=\r\n"
    "awayhomepage=about:blank\r\n";
const std::string kStoredCredentials = "[user]\r\nusername=alice\r\npassword=s3cret\r\n";

enum class End { Normal, Notice, Error };
// What the test does once the logon dialog is up.
enum class AtLogon { Nothing, TypeAndLogon, LockFileTypeAndLogon };

struct Row {
  std::string ini;  // kestel.ini, byte for byte
  End end = End::Normal;
  std::string boxText;                 // a notice's whole text, or a part of the error box's message
  std::vector<std::string> cancelled;  // devices cancelled at start-up, in order
  std::vector<std::string> mapped;     // local names connected at home, in order
  std::vector<std::string> started;    // command lines the programs received, in order
  std::optional<std::string> after;    // kestel.ini afterwards; nullopt: unchanged
  bool readOnly = false;
  AtLogon atLogon = AtLogon::Nothing;
};

struct Case {
  const char* name;
  std::function<Row(const Sandbox&)> make;
};
void PrintTo(const Case& tested, std::ostream* out) {
  *out << tested.name;
}

// ---- Building files ---------------------------------------------------------------------------------

std::string Bytes(std::size_t count, bool withZeros, std::uint32_t seed) {
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const auto byte = static_cast<char>(seed >> 16);
    bytes += byte == '\0' && !withZeros ? '\x01' : byte;
  }
  return bytes;
}

// The names a key list of 16384 bytes holds: each name and its zero byte while they fit, the last
// one cut short, and the list's closing zero in the last byte but one.
std::vector<std::string> NamesThatFit(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += name + '\0';
  list.resize(std::min<std::size_t>(list.size(), 16384 - 2));
  std::vector<std::string> fit;
  for (std::size_t pos = 0; pos < list.size();) {
    const std::size_t end = std::min(list.find('\0', pos), list.size());
    fit.push_back(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return fit;
}

// The same lines, each ended by lineEnd instead of CR LF.
std::string WithLineEnds(const std::string& crlfText, const std::string& lineEnd) {
  std::string out;
  std::size_t pos = 0;
  for (std::size_t end; (end = crlfText.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    out += crlfText.substr(pos, end - pos) + lineEnd;
  return out + crlfText.substr(pos);
}

// ASCII text as UTF-16 little-endian, behind its byte-order mark.
std::string Utf16(const std::string& ascii) {
  std::string wide = "\xFF\xFE";
  for (const char c : ascii) wide.append({c, '\0'});
  return wide;
}

// An away run over sections that the rows fill in: a server, drives to cancel, one program.
std::string AwayIni(const Sandbox& s, const std::string& server = kAwayServer, const std::string& firstMappings = {}) {
  return "[connection]\r\nserver=" + server + "\r\n[mappings]\r\n" + firstMappings +
         "H:=\\\\srv\\h\r\nI:=\\\\srv\\i\r\n" + "[awaypostscripts]\r\n1=" + s.RecordArgsCommand(kProgramLog, "away") +
         "\r\n";
}
Row AwayRow(const Sandbox& s, std::string ini) {
  Row row;
  row.ini = std::move(ini);
  row.cancelled = {"H:", "I:"};
  row.started = {s.RecordArgsCommand(kProgramLog, "away")};
  return row;
}
Row ServerRow(const Sandbox& s, const std::string& server) {
  return AwayRow(s, AwayIni(s, server) + kStoredAwaySet);
}

std::string HomeIni(const Sandbox& s, const std::string& mappings) {
  return "[connection]\r\nserver=127.0.0.1\r\n" + kStoredAwaySet + "[mappings]\r\n" + mappings +
         "[localpostscripts]\r\n1=" + s.RecordArgsCommand(kProgramLog, "home") + "\r\n";
}

// ---- The rows ---------------------------------------------------------------------------------------

const Case kCases[] = {
    // The reader finds no section in noise, so the first run captures the away set; the writer would
    // cut every line of the noise short at its first zero byte, so the write is refused instead.
    {"RandomBytes",
     [](const Sandbox& s) {
       Row row;
       row.ini = Bytes(4096, true, 1) + '\0';
       row.end = End::Error;
       row.boxText = "Unable to write to " + s.PathOf("kestel.ini");
       return row;
     }},
    {"NoiseBeforeTheSections",
     [](const Sandbox& s) { return AwayRow(s, Bytes(4096, false, 2) + "\r\n" + AwayIni(s) + kStoredAwaySet); }},
    // The reader takes a line only up to a zero byte.
    {"ZeroByteInsideALine",
     [](const Sandbox& s) {
       return AwayRow(s, kStoredAwaySet + "[connection]\r\nserver="s + kAwayServer + "\0 tail\r\n"s +
                             "[mappings]\r\nH:=\\\\srv\\h\0tail\r\nI:=\\\\srv\\i\r\n[awaypostscripts]\r\n1="s +
                             s.RecordArgsCommand(kProgramLog, "away") + "\0 tail\r\n"s);
     }},
    // The writer would drop the rest of that line, so the capture is refused and the file kept.
    {"ZeroByteInsideALineWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       Row row;
       row.ini =
           "[connection]\r\nserver="s + kAwayServer + "\r\n[mappings]\r\nH:=\\\\srv\\h\0tail\r\nI:=\\\\srv\\i\r\n"s;
       row.end = End::Error;
       row.boxText = "Unable to write to " + s.PathOf("kestel.ini");
       row.cancelled = {"H:", "I:"};
       return row;
     }},
    {"OneMegabyte",
     [](const Sandbox& s) {
       std::string filler;
       for (int i = 0; filler.size() < 1024 * 1024; ++i)
         filler += "[filler" + std::to_string(i) + "]\r\nkey=" + std::string(100, 'v') + "\r\n";
       return AwayRow(s, filler + AwayIni(s) + kStoredAwaySet);
     }},
    {"LineOf100000Characters",
     [](const Sandbox& s) {
       Row row =
           AwayRow(s, "[notes]\r\nlong=" + std::string(100000, 'n') + "\r\n" +
                          AwayIni(s, kAwayServer, "L:=\\\\srv\\" + std::string(100000, 'l') + "\r\n") + kStoredAwaySet);
       row.cancelled = {"L:", "H:", "I:"};
       return row;
     }},
    // A value is read as its first 2047 characters, so that is the command line the program gets.
    {"CommandLineOf3000Characters",
     [](const Sandbox& s) {
       std::string command = s.RecordArgsCommand(kProgramLog, "long");
       for (int word = 0; command.size() < 3000; ++word) command += " w" + std::to_string(word);
       Row row;
       row.ini = "[connection]\r\nserver="s + kAwayServer + "\r\n" + kStoredAwaySet +
                 "[awaypostscripts]\r\n1=" + command.substr(0, 3000) + "\r\n";
       row.started = {command.substr(0, 2047)};
       return row;
     }},
    {"FiveThousandMappings",
     [](const Sandbox& s) {
       std::vector<std::string> names;
       std::string mappings = "[mappings]\r\n";
       for (int i = 0; i < 5000; ++i) {
         char name[16];
         std::snprintf(name, sizeof name, "K%d", i);
         names.emplace_back(name);
         mappings += names.back() + "=\\\\srv\\share" + std::to_string(i) + "\r\n";
       }
       Row row = AwayRow(s, "[connection]\r\nserver="s + kAwayServer + "\r\n" + kStoredAwaySet + mappings +
                                "[awaypostscripts]\r\n1=" + s.RecordArgsCommand(kProgramLog, "away") + "\r\n");
       row.cancelled = NamesThatFit(names);
       return row;
     }},
    {"LfOnlyLineEnds", [](const Sandbox& s) { return AwayRow(s, WithLineEnds(AwayIni(s) + kStoredAwaySet, "\n")); }},
    {"CrOnlyLineEnds", [](const Sandbox& s) { return AwayRow(s, WithLineEnds(AwayIni(s) + kStoredAwaySet, "\r")); }},
    {"MixedLineEnds",
     [](const Sandbox& s) {
       return AwayRow(s, "[connection]\nserver="s + kAwayServer + "\r[mappings]\r\nH:=\\\\srv\\h\nI:=\\\\srv\\i\r" +
                             "[awaypostscripts]\n1=" + s.RecordArgsCommand(kProgramLog, "away") + "\r\n" +
                             WithLineEnds(kStoredAwaySet, "\r"));
     }},
    // Every line keeps its line end; the captured set comes with the file's first one.
    {"MixedLineEndsWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       Row row = AwayRow(s, "[connection]\nserver="s + kAwayServer + "\r[mappings]\r\nH:=\\\\srv\\h\nI:=\\\\srv\\i\r" +
                                "[awaypostscripts]\n1=" + s.RecordArgsCommand(kProgramLog, "away") + "\r");
       row.after = row.ini + WithLineEnds(kCapturedAwaySet, "\n");
       return row;
     }},
    {"Utf8ByteOrderMarkWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       Row row = AwayRow(s, "\xEF\xBB\xBF" + AwayIni(s));
       row.after = row.ini + kCapturedAwaySet;
       return row;
     }},
    // Made of zero bytes, yet written to: the reader and writer know it by its byte-order mark.
    {"Utf16FileWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       Row row = AwayRow(s, Utf16(AwayIni(s)));
       row.after = Utf16(AwayIni(s) + kCapturedAwaySet);
       return row;
     }},
    // A section or key that occurs again is read from its first occurrence only.
    {"DuplicateSectionsAndKeys",
     [](const Sandbox& s) {
       return AwayRow(s, "[connection]\r\nserver="s + kAwayServer + "\r\nserver=127.0.0.1\r\n" +
                             "[mappings]\r\nH:=\\\\srv\\h\r\nI:=\\\\srv\\i\r\n[awaypostscripts]\r\n1=" +
                             s.RecordArgsCommand(kProgramLog, "away") + "\r\n" + kStoredAwaySet +
                             "[MAPPINGS]\r\nQ:=\\\\srv\\q\r\n[Connection]\r\nserver=127.0.0.1\r\n" +
                             "[awaypostscripts]\r\n2=" + s.RecordArgsCommand(kProgramLog, "second") + "\r\n");
     }},
    {"KeysWithoutEqualsSign",
     [](const Sandbox& s) {
       Row row;
       row.ini = "[connection]\r\nserver\r\n[mappings]\r\nH:\r\nI:=\\\\srv\\i\r\n" + kStoredAwaySet +
                 "[awaypostscripts]\r\n1=" + s.RecordArgsCommand(kProgramLog, "away") + "\r\n";
       row.end = End::Notice;
       row.boxText = kNoServer;
       row.cancelled = {"I:"};
       return row;
     }},
    // Only a matching pair of quotes is taken off; an unclosed one stays part of the value.
    {"QuotesThatDoNotClose",
     [](const Sandbox& s) {
       Row row = AwayRow(s, "[connection]\r\nserver=\""s + kAwayServer + "\r\n[mappings]\r\nH:='\\\\srv\\h\r\n" +
                                "[awaypostscripts]\r\n1=" + s.RecordArgsCommand(kProgramLog, "away \"unclosed") +
                                "\r\n" + kStoredAwaySet);
       row.cancelled = {"H:"};
       row.started = {s.RecordArgsCommand(kProgramLog, "away \"unclosed")};
       return row;
     }},
    {"ServerNameOf300Characters", [](const Sandbox& s) { return ServerRow(s, std::string(300, 's')); }},
    {"ServerNameWithSpaces", [](const Sandbox& s) { return ServerRow(s, "my home server"); }},
    {"EmptyServerName", [](const Sandbox& s) { return ServerRow(s, ""); }},
    // A key list ends at its first empty name, so Q: after the empty one is neither cancelled nor mapped.
    {"MappingKeysThatAreNoDrive",
     [](const Sandbox& s) {
       Row row;
       row.ini = HomeIni(s,
                         "LPT1:=\\\\127.0.0.1\\printer\r\nH=\\\\127.0.0.1\\h\r\n=\\\\127.0.0.1\\nameless\r\n"
                         "Q:=\\\\127.0.0.1\\q\r\n") +
                 kStoredCredentials;
       row.cancelled = {"LPT1:", "H"};
       row.mapped = {"LPT1:", "H"};
       row.started = {s.RecordArgsCommand(kProgramLog, "home")};
       return row;
     }},
    {"ProgramThatDoesNotExistAndAnEmptyCommandLine",
     [](const Sandbox& s) {
       Row row;
       row.ini = "[connection]\r\nserver=127.0.0.1\r\n" + kStoredAwaySet + kStoredCredentials +
                 "[localpostscripts]\r\n1=" + s.PathOf("absent.exe") +
                 " arg\r\n2=\r\n3=" + s.RecordArgsCommand(kProgramLog, "home") + "\r\n";
       row.started = {s.RecordArgsCommand(kProgramLog, "home")};
       return row;
     }},
    // The big-endian mark is none Kestel knows: read as the code page, the file is every other byte zero,
    // so it names no setting and the capture is refused rather than written over it.
    {"Utf16BigEndianFileWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       std::string bigEndian = "\xFE\xFF";
       for (const char c : AwayIni(s)) bigEndian.append({'\0', c});
       Row row;
       row.ini = bigEndian;
       row.end = End::Error;
       row.boxText = "Unable to write to " + s.PathOf("kestel.ini");
       return row;
     }},
    // A file marked read-only is never written to, whoever runs (Wine run as root would write it).
    {"ReadOnlyFileWhenTheAwaySetIsCaptured",
     [](const Sandbox& s) {
       Row row = AwayRow(s, AwayIni(s));
       row.readOnly = true;
       row.end = End::Error;
       row.boxText = "Unable to write to " + s.PathOf("kestel.ini");
       row.started.clear();
       return row;
     }},
    {"CredentialsSavedIntoAnLfOnlyFile",
     [](const Sandbox& s) {
       Row row;
       row.ini = WithLineEnds(HomeIni(s, "H:=\\\\127.0.0.1\\h\r\n"), "\n");
       row.atLogon = AtLogon::TypeAndLogon;
       row.cancelled = {"H:"};
       row.mapped = {"H:"};
       row.started = {s.RecordArgsCommand(kProgramLog, "home")};
       row.after = WithLineEnds(
           HomeIni(s, "H:=\\\\127.0.0.1\\h\r\n") + "[user]\r\nusername=alice\r\npassword=s3cret\r\n", "\n");
       return row;
     }},
    // A Kestel killed mid-swap left its files, the password in them; no process has that id.
    {"LeftBesideByAKestelThatNoLongerRuns",
     [](const Sandbox& s) {
       s.WriteFile("kestel.ini.kestel-4294967292.tmp", kStoredCredentials);
       s.WriteFile("kestel.ini.kestel-4294967292.bak", kStoredCredentials);
       return ServerRow(s, kAwayServer);
     }},
    // Another program holds the file open, denying writes, when the typed credentials are saved.
    {"LockedWhenCredentialsAreSaved",
     [](const Sandbox& s) {
       Row row;
       row.ini = HomeIni(s, "H:=\\\\127.0.0.1\\h\r\n");
       row.atLogon = AtLogon::LockFileTypeAndLogon;
       row.end = End::Error;
       row.boxText = "Unable to write to " + s.PathOf("kestel.ini");
       row.cancelled = {"H:"};
       row.mapped = {"H:"};
       return row;
     }},
};

// ---- Running a row ----------------------------------------------------------------------------------

struct Outcome {
  std::optional<DWORD> exitCode;
  std::vector<driver::BoxContent> boxes;
};

// Answers every box with OK until the process ends; each wait is bounded.
Outcome RunAnsweringBoxes(Process& process) {
  Outcome outcome;
  for (int i = 0; i < 4 && !outcome.exitCode; ++i) {
    std::optional<HWND> box;
    driver::WaitUntil(
        [&] {
          if ((outcome.exitCode = process.WaitExit(Milliseconds{0}))) return true;
          return (box = driver::FindBox(process.Pid())).has_value();
        },
        kExitTimeout);
    if (!box) break;
    outcome.boxes.push_back(driver::ReadBox(*box));
    if (!driver::PressButton(*box, "OK") || !driver::WaitForWindowGone(*box, kExitTimeout)) break;
  }
  if (!outcome.exitCode) outcome.exitCode = process.WaitExit();
  return outcome;
}

// Waits for the logon dialog, optionally locks the settings file against writes, types
// credentials and presses Logon. The returned handle keeps the lock until the row is checked.
driver::UniqueHandle Logon(const Sandbox& s, const Process& process, AtLogon atLogon) {
  std::optional<HWND> form;
  const bool up = driver::WaitUntil(
      [&] {
        form = driver::FindWindowOf(process.Pid(), kFormClass);
        return form && driver::OuterSize(*form).height == 210 &&
               driver::FocusedChild(*form) == driver::FindChildById(*form, kIdUserName);
      },
      kStartTimeout);
  if (!up) {
    ADD_FAILURE() << "the logon dialog did not appear";
    return {};
  }
  driver::UniqueHandle lock;
  if (atLogon == AtLogon::LockFileTypeAndLogon) {
    lock.reset(CreateFileA(s.PathOf("kestel.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_NE(lock.get(), INVALID_HANDLE_VALUE);
  }
  EXPECT_TRUE(driver::SetText(*driver::FindChildById(*form, kIdUserName), "alice"));
  EXPECT_TRUE(driver::SetText(*driver::FindChildById(*form, kIdPassword), "s3cret"));
  EXPECT_TRUE(driver::PressButton(*form, "Logon"));
  return lock;
}

std::vector<std::string> NamesOf(const Sandbox& s, std::string_view function, const char* field) {
  std::vector<std::string> names;
  const auto text = s.ReadFile(kMprLog);
  if (!text) return names;
  const auto calls = mpr::ParseLog(*text);
  EXPECT_TRUE(calls) << "the provider's log is not in its format";
  for (const mpr::Call& call : calls.value_or(std::vector<mpr::Call>{}))
    if (call.function == function) names.push_back(call.Text(field).value_or("(null)"));
  return names;
}

class HostileSettings : public ::testing::TestWithParam<Case> {
 protected:
  SavedUserProfile profile_;
};

TEST_P(HostileSettings, EndsAsTheRowSaysAndWritesOnlyWhatTheRunMeans) {
  profile_.Set(kUserSettings);
  const Sandbox sandbox;
  const Row row = GetParam().make(sandbox);
  sandbox.WriteIni(row.ini);
  if (row.readOnly) {
    ASSERT_TRUE(SetFileAttributesA(sandbox.PathOf("kestel.ini").c_str(), FILE_ATTRIBUTE_READONLY));
  }

  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf(kMprLog)}};
  Process process = sandbox.Start(options);
  const driver::UniqueHandle lock =
      row.atLogon == AtLogon::Nothing ? driver::UniqueHandle{} : Logon(sandbox, process, row.atLogon);
  const Outcome outcome = RunAnsweringBoxes(process);

  switch (row.end) {
    case End::Normal:
      EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes.front().caption << ": " << outcome.boxes.front().text;
      break;
    case End::Notice:
      ASSERT_EQ(outcome.boxes.size(), 1u);
      EXPECT_EQ(outcome.boxes[0].caption, kTitle);
      EXPECT_EQ(outcome.boxes[0].text, row.boxText);
      break;
    case End::Error:
      ASSERT_EQ(outcome.boxes.size(), 1u);
      EXPECT_EQ(outcome.boxes[0].caption, kErrorCaption);
      EXPECT_NE(outcome.boxes[0].text.find(row.boxText), std::string::npos) << outcome.boxes[0].text;
      break;
  }
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(row.end == End::Error ? 1 : 0));

  EXPECT_EQ(NamesOf(sandbox, mpr::kCancelConnection, "name"), row.cancelled);
  EXPECT_EQ(NamesOf(sandbox, mpr::kAddConnection, "local"), row.mapped);
  std::vector<std::string> started;
  for (const auto& start : sandbox.ReadRecords(kProgramLog).value_or(std::vector<testing::RecordedStart>{}))
    started.push_back(start.commandLine);
  EXPECT_EQ(started, row.started);

  const auto after = sandbox.ReadIni();
  ASSERT_TRUE(after) << "kestel.ini is gone";
  // Whole files are too long to print usefully; the first difference tells what went wrong.
  const std::string& expected = row.after.value_or(row.ini);
  const auto [mine, theirs] = std::mismatch(after->begin(), after->end(), expected.begin(), expected.end());
  EXPECT_TRUE(*after == expected) << "kestel.ini differs from byte " << (mine - after->begin()) << " (sizes "
                                  << after->size() << " and " << expected.size() << "): has \""
                                  << std::string(mine, std::min(mine + 40, after->end())) << "\", expected \""
                                  << std::string(theirs, std::min(theirs + 40, expected.end())) << "\"";
  for (const std::string& name : sandbox.List()) EXPECT_NE(name.rfind("kestel.ini.kestel-", 0), 0u) << name;
  if (row.readOnly) {
    EXPECT_NE(GetFileAttributesA(sandbox.PathOf("kestel.ini").c_str()) & FILE_ATTRIBUTE_READONLY, 0u)
        << "the file must stay read-only";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettings, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace kestel::e2e
