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

struct Line {
  std::string severity, kind, text;
};

// The log's lines; each must begin with a local time and the run's process id.
std::vector<Line> ReadLog(const Sandbox& sandbox, DWORD pid) {
  static const std::regex form(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\d+) (INFO|WARNING|ERROR) ([a-z-]+): (.*))");
  std::vector<Line> lines;
  for (const std::string& line : sandbox.ReadLines(kLog)) {
    std::smatch m;
    if (std::regex_match(line, m, form) && m[1] == std::to_string(pid))
      lines.push_back({m[2], m[3], m[4]});
    else
      ADD_FAILURE() << "not a line of this run: " << line;
  }
  return lines;
}

std::vector<std::string> Kinds(const std::vector<Line>& lines) {
  std::vector<std::string> kinds;
  for (const Line& line : lines) kinds.push_back(line.kind);
  return kinds;
}

struct RunCase {
  const char* name;
  const char* server;
  const char* scripts;  // the [SCRIPTS] lines
  enum { Writable, Directory, Locked } log;
  std::vector<std::string> kinds;  // of the lines the log gets
};

void PrintTo(const RunCase& tested, std::ostream* out) {
  *out << tested.name;
}

class RunRecordRun : public ::testing::TestWithParam<RunCase> {};

// Each step on record, never the password; a log that cannot be opened is passed over, and the run
// ends exactly as the run without a log does.
TEST_P(RunRecordRun, LogsEachStepOrEndsAsWithoutALog) {
  const RunCase& c = GetParam();
  Sandbox sandbox;
  const std::string program = sandbox.RecordArgsCommand(kStarts, "--exit 3");
  sandbox.WriteIni(std::string("[SCRIPTS]\r\n") + c.scripts + "[connection]\r\nserver=" + c.server +
                   "\r\n[user]\r\nusername=alice\r\npassword=" + kPassword +
                   "\r\n[mappings]\r\nH:=\\\\127.0.0.1\\home\\%INTERNALUSERNAME%\r\n[awayinternetsettings]\r\n"
                   "awayhomepage=about:blank\r\n[localpostscripts]\r\nlocal=" +
                   program + "\r\n[awaypostscripts]\r\naway=" + program + "\r\n");
  if (c.log == RunCase::Directory) sandbox.MakeDirectory(kLog);
  driver::UniqueHandle lock;
  if (c.log == RunCase::Locked)
    lock.reset(CreateFileA(sandbox.PathOf(kLog).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));

  Process process = sandbox.Start();
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << outcome.box->caption << ": " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  EXPECT_EQ(sandbox.ReadRecords(kStarts).value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
  lock.reset();

  const std::vector<Line> lines = ReadLog(sandbox, process.Pid());
  EXPECT_EQ(Kinds(lines), c.kinds);
  for (const Line& line : lines) {
    if (line.kind == "decision") {
      EXPECT_EQ(line.text, c.name);
    } else if (line.kind == "program") {
      EXPECT_EQ(line.severity, "WARNING") << line.text;  // it ends with exit code 3
    }
  }
  EXPECT_EQ(sandbox.ReadFile(kLog).value_or("").find(kPassword), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    RunRecord, RunRecordRun,
    ::testing::Values(RunCase{"home",
                              "127.0.0.1",
                              "logfile=run.log\r\n",
                              RunCase::Writable,
                              {"start", "settings", "cancel", "away-set", "probe", "decision", "credentials", "map",
                               "local-set", "program", "end"}},
                      RunCase{"away",
                              "kestel-home.invalid",
                              "logfile=run.log\r\n",
                              RunCase::Writable,
                              {"start", "settings", "cancel", "away-set", "probe", "decision", "program", "end"}},
                      RunCase{"NoLog", "127.0.0.1", "", RunCase::Writable, {}},
                      RunCase{"LogIsADirectory", "127.0.0.1", "logfile=run.log\r\n", RunCase::Directory, {}},
                      RunCase{"LogLockedByAnother", "127.0.0.1", "logfile=run.log\r\n", RunCase::Locked, {}}),
    CaseName);

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

  // What Wine prints for each event: the call with its type and id, then the text (escaped, and cut
  // short when long).
  static const std::regex reported(
      R"(ReportEventW \([0-9A-F]+,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+),[^\n]*\n[^\n]*:eventlog:ReportEventW L"([^\n]*)\")");
  const std::string printed = ReadFrom(output, before);
  const std::vector<Line> lines = ReadLog(sandbox, process.Pid());
  EXPECT_EQ(Kinds(lines),
            (std::vector<std::string>{"start", "settings", "away-set", "probe", "decision", "program", "end"}));
  const std::map<std::string, unsigned> ids = {{"start", 1},  {"settings", 2},    {"cancel", 3},      {"away-set", 4},
                                               {"probe", 5},  {"decision", 6},    {"credentials", 7}, {"map", 8},
                                               {"saved", 9},  {"local-set", 10},  {"program", 11},    {"end", 12},
                                               {"error", 13}, {"connection", 14}, {"script", 15}};
  const std::map<std::string, unsigned> types = {
      {"INFO", EVENTLOG_INFORMATION_TYPE}, {"WARNING", EVENTLOG_WARNING_TYPE}, {"ERROR", EVENTLOG_ERROR_TYPE}};
  std::size_t i = 0;
  for (auto m = std::sregex_iterator(printed.begin(), printed.end(), reported); m != std::sregex_iterator(); ++m, ++i) {
    ASSERT_LT(i, lines.size()) << printed;
    EXPECT_EQ(std::stoul((*m)[2], nullptr, 16), ids.at(lines[i].kind)) << lines[i].kind;
    EXPECT_EQ(std::stoul((*m)[1], nullptr, 16), types.at(lines[i].severity)) << lines[i].kind;
    const std::string text = std::regex_replace((*m)[3].str(), std::regex(R"(\\(.))"), "$1");
    EXPECT_EQ((lines[i].kind + ": " + lines[i].text).rfind(text, 0), 0u) << text;
  }
  EXPECT_EQ(i, lines.size()) << printed;
}

}  // namespace
}  // namespace kestel::e2e
