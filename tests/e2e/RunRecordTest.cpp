// The run's record through whole runs of kestel.exe: the log file at home and away, a log that
// cannot be written, and the event log, which Wine prints on its "eventlog" debug channel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "Harness.h"

namespace kestel::e2e {
namespace {

constexpr const char* kPassword = "Rec0rd-s3cret";
constexpr const char* kLog = "run.log";
constexpr const char* kStarts = "starts.log";

// At server, with one mapping (the stand-in provider lets it succeed) and one program each way,
// which ends with exit code 3.
std::string Ini(const Sandbox& sandbox, const std::string& server, const std::string& scripts) {
  return "[SCRIPTS]\r\n" + scripts + "[connection]\r\nserver=" + server +
         "\r\n[user]\r\nusername=alice\r\npassword=" + kPassword +
         "\r\n[mappings]\r\nH:=\\\\127.0.0.1\\home\\%INTERNALUSERNAME%\r\n[awayinternetsettings]\r\n"
         "awayproxyenabled=0\r\nawayproxyserver=\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n"
         "[localpostscripts]\r\nlocal=" +
         sandbox.RecordArgsCommand(kStarts, "--exit 3") +
         "\r\n[awaypostscripts]\r\naway=" + sandbox.RecordArgsCommand(kStarts, "--exit 3") + "\r\n";
}

struct Line {
  std::string severity, kind, text;
};

// The log's lines; each must begin with a local time and the run's process id.
std::vector<Line> ReadLog(const Sandbox& sandbox, DWORD pid) {
  static const std::regex form(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\d+) (INFO|WARNING|ERROR) ([a-z-]+): (.*))");
  std::vector<Line> lines;
  for (const std::string& line : sandbox.ReadLines(kLog)) {
    std::smatch m;
    if (!std::regex_match(line, m, form) || m[1] != std::to_string(pid)) {
      ADD_FAILURE() << "not a line of this run: " << line;
      continue;
    }
    lines.push_back({m[2], m[3], m[4]});
  }
  return lines;
}

std::vector<std::string> Kinds(const std::vector<Line>& lines) {
  std::vector<std::string> kinds;
  for (const Line& line : lines) kinds.push_back(line.kind);
  return kinds;
}

struct PlaceCase {
  const char* name;
  const char* server;
  std::vector<std::string> kinds;
};

void PrintTo(const PlaceCase& tested, std::ostream* out) {
  *out << tested.name;
}

class RunRecordPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(RunRecordPlace, LogsEachStepAndNeverThePassword) {
  Sandbox sandbox;
  sandbox.WriteIni(Ini(sandbox, GetParam().server, "logfile=" + std::string(kLog) + "\r\n"));
  Process process = sandbox.Start();
  const RunOutcome outcome = RunToEnd(process);
  ASSERT_FALSE(outcome.box) << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));

  const std::vector<Line> lines = ReadLog(sandbox, process.Pid());
  EXPECT_EQ(Kinds(lines), GetParam().kinds);
  for (const Line& line : lines) {
    if (line.kind == "decision") {
      EXPECT_EQ(line.text, GetParam().name);
    } else if (line.kind == "program") {
      EXPECT_EQ(line.severity, "WARNING") << line.text;  // it ends with exit code 3
    }
  }
  EXPECT_EQ(sandbox.ReadFile(kLog).value_or("").find(kPassword), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(RunRecord, RunRecordPlace,
                         ::testing::Values(PlaceCase{"home",
                                                     "127.0.0.1",
                                                     {"start", "settings", "cancel", "away-set", "probe", "decision",
                                                      "credentials", "map", "local-set", "program", "end"}},
                                           PlaceCase{"away",
                                                     "kestel-home.invalid",
                                                     {"start", "settings", "cancel", "away-set", "probe", "decision",
                                                      "program", "end"}}),
                         [](const auto& tested) { return std::string(tested.param.name); });

struct BrokenCase {
  const char* name;
  const char* scripts;  // the [SCRIPTS] lines
  enum { Nothing, Directory, Locked } log;
};

void PrintTo(const BrokenCase& tested, std::ostream* out) {
  *out << tested.name;
}

class RunRecordBroken : public ::testing::TestWithParam<BrokenCase> {};

// A log that cannot be opened is passed over: the run ends exactly as the run without a log does.
TEST_P(RunRecordBroken, EndsAsWithoutALog) {
  Sandbox sandbox;
  sandbox.WriteIni(Ini(sandbox, "127.0.0.1", GetParam().scripts));
  if (GetParam().log == BrokenCase::Directory) sandbox.MakeDirectory(kLog);
  driver::UniqueHandle lock;
  if (GetParam().log == BrokenCase::Locked)
    lock.reset(CreateFileA(sandbox.PathOf(kLog).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));

  Process process = sandbox.Start();
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << outcome.box->caption << ": " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  EXPECT_EQ(sandbox.ReadRecords(kStarts).value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
  lock.reset();
  if (GetParam().log == BrokenCase::Locked) {
    EXPECT_EQ(sandbox.ReadFile(kLog), std::optional<std::string>(""));
  } else if (GetParam().log == BrokenCase::Directory) {
    EXPECT_FALSE(sandbox.ReadFile("run.log\\run.log"));
  }
}

INSTANTIATE_TEST_SUITE_P(RunRecord, RunRecordBroken,
                         ::testing::Values(BrokenCase{"NoLog", "", BrokenCase::Nothing},
                                           BrokenCase{"LogIsADirectory", "logfile=run.log\r\n", BrokenCase::Directory},
                                           BrokenCase{"LogLockedByAnother", "logfile=run.log\r\n", BrokenCase::Locked}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// What Wine printed for each reported event: its id, its type and its text.
struct Reported {
  unsigned id = 0, type = 0;
  std::string text;
};

std::vector<Reported> ParseEventChannel(const std::string& output) {
  std::vector<Reported> events;
  static const std::regex call(R"(ReportEventA \([0-9A-Fa-f]+,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+),)");
  static const std::regex text(R"(:eventlog:ReportEventW L"(.*)\")");
  std::size_t begin = 0;
  while (begin < output.size()) {
    const std::size_t end = output.find('\n', begin);
    const std::string line = output.substr(begin, end - begin);
    begin = end == std::string::npos ? output.size() : end + 1;
    std::smatch m;
    if (std::regex_search(line, m, call)) {
      events.push_back({static_cast<unsigned>(std::stoul(m[2], nullptr, 16)),
                        static_cast<unsigned>(std::stoul(m[1], nullptr, 16)),
                        {}});
    } else if (std::regex_search(line, m, text) && !events.empty()) {
      const std::string escaped = m[1];
      for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size()) ++i;  // Wine escapes \ and "
        events.back().text += escaped[i];
      }
    }
  }
  return events;
}

std::string ReadFrom(const std::string& path, std::size_t offset) {
  const driver::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (file.get() != INVALID_HANDLE_VALUE && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    content.append(buffer, got);
  return offset < content.size() ? content.substr(offset) : std::string();
}

// With both on, each event goes to the file and to the event log, under its kind's id, as a
// warning when a program cannot start. kestel.exe's standard error is this test's, which the suite
// sends to KESTEL_WINE_STDERR.
TEST(RunRecordEventLog, ReportsEveryEventUnderItsKindsId) {
  const char* capture = std::getenv("KESTEL_WINE_STDERR");
  if (capture == nullptr) GTEST_SKIP() << "KESTEL_WINE_STDERR names no file for Wine's output";
  const std::string output = WindowsPathOfUnixPath(capture);
  const std::size_t before = ReadFrom(output, 0).size();

  Sandbox sandbox;
  sandbox.WriteIni(
      "[SCRIPTS]\r\neventlog=1\r\nlogfile=run.log\r\n[connection]\r\nserver=kestel-home.invalid\r\n"
      "[awaypostscripts]\r\nmissing=" +
      sandbox.PathOf("absent.exe") + "\r\n");
  StartOptions options;
  options.env = {{"WINEDEBUG", "-all,+eventlog,fixme+advapi"}};
  Process process = sandbox.Start(options);
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box);
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));

  const std::map<std::string, unsigned> ids = {{"start", 1}, {"settings", 2},   {"cancel", 3},      {"away-set", 4},
                                               {"probe", 5}, {"decision", 6},   {"credentials", 7}, {"map", 8},
                                               {"saved", 9}, {"local-set", 10}, {"program", 11},    {"end", 12},
                                               {"error", 13}};
  const std::map<std::string, unsigned> types = {
      {"INFO", EVENTLOG_INFORMATION_TYPE}, {"WARNING", EVENTLOG_WARNING_TYPE}, {"ERROR", EVENTLOG_ERROR_TYPE}};
  const std::vector<Line> lines = ReadLog(sandbox, process.Pid());
  const std::vector<Reported> reported = ParseEventChannel(ReadFrom(output, before));
  ASSERT_EQ(reported.size(), lines.size()) << ReadFrom(output, before);
  EXPECT_EQ(Kinds(lines),
            (std::vector<std::string>{"start", "settings", "away-set", "probe", "decision", "program", "end"}));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(reported[i].id, ids.at(lines[i].kind)) << lines[i].kind;
    EXPECT_EQ(reported[i].type, types.at(lines[i].severity)) << lines[i].kind;
    // Wine cuts long texts short; what it shows must begin the line the file has.
    EXPECT_EQ((lines[i].kind + ": " + lines[i].text).rfind(reported[i].text, 0), 0u) << reported[i].text;
  }
}

}  // namespace
}  // namespace kestel::e2e
