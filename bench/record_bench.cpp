// The run record's own cost inside one process, without the noise of starting one:
//   record_bench FOLDER ROUNDS
// Each round does what a home run does with its record: the start and the settings file are held,
// the two settings are read from a kestel.ini, the record opens as they ask, and eleven more events
// follow; then the record closes. "off" is what a run without a record does more than before the
// record existed. Prints, for each setting, the median and the slowest round in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/RunRecordWin32.h"
#include "run/RunRecordEvents.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double OneRun(const std::string& ini, const kestel::RecordSettings& settings) {
  using namespace kestel;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  {
    Win32RunRecord record;
    record.Report(StartEvent({}));
    record.Report(SettingsFileEvent(ini));
    char value[2048];
    GetPrivateProfileStringA("SCRIPTS", "logfile", "", value, sizeof value, ini.c_str());
    GetPrivateProfileStringA("SCRIPTS", "eventlog", "0", value, sizeof value, ini.c_str());
    record.Open(settings);
    if (record.On()) {
      TConfig c;
      ProbeOutcome probe;
      probe.icmpOpened = true;
      probe.replies = 1;
      ProgramOutcome program;
      program.started = true;
      program.exitCode = 0;
      for (const char* device : {"X:", "Y:"}) record.Report(DriveCancelledEvent(device, 2250, record.SystemText(2250)));
      record.Report(ProxySetEvent(ProxySetOf::Away, false, c.Sets.away, c.AllConnections));
      record.Report(ProbeEvent("127.0.0.1", probe, record.SystemText(0)));
      record.Report(DecisionEvent(true));
      record.Report(CredentialsEvent(CredentialSource::SettingsFile, "bench"));
      for (const char* device : {"X:", "Y:"}) record.Report(MappingEvent(device, "\\\\srv\\share", 0, ""));
      record.Report(ProxySetEvent(ProxySetOf::Local, false, c.Sets.local, c.AllConnections));
      record.Report(ProgramEvent("cmd /c exit", program, ""));
      record.Report(EndEvent(RunEnd::HomeComplete, 0, record.ElapsedMs()));
    }
  }
  QueryPerformanceCounter(&end);
  return Milliseconds(start, end);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: record_bench FOLDER ROUNDS\n");
    return 2;
  }
  const std::string log = std::string(argv[1]) + "\\record-bench.log";
  const std::string ini = std::string(argv[1]) + "\\record-bench.ini";
  WritePrivateProfileStringA("SCRIPTS", "showmaperrors", "0", ini.c_str());
  WritePrivateProfileStringA("connection", "server", "127.0.0.1", ini.c_str());
  const long rounds = std::strtol(argv[2], nullptr, 10);
  const struct {
    const char* name;
    kestel::RecordSettings settings;
  } cases[] = {{"off", {"", false}}, {"file", {log, false}}, {"eventlog", {"", true}}, {"both", {log, true}}};
  std::vector<std::vector<double>> times(std::size(cases));
  for (long round = 0; round <= rounds; ++round)  // round 0 warms up and is not counted
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const double ms = OneRun(ini, cases[i].settings);
      if (round > 0) times[i].push_back(ms);
    }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    std::sort(times[i].begin(), times[i].end());
    std::printf("%s %.3f %.3f\n", cases[i].name, times[i][times[i].size() / 2], times[i].back());
  }
  return 0;
}
