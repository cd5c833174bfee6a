#include "Rounds.h"

#include <algorithm>
#include <stdexcept>

namespace kestel::driver {

namespace {

// How often the peak is read while the process runs. Once a process has ended, Wine still answers
// the query, but with zeros, so the last reading before the end is the one that counts; growth in the
// last few milliseconds of a run can be missed.
constexpr DWORD kPeakSampleMs = 5;

std::string Quoted(const std::string& arg) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand as they are.
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  // Before the closing quote they must be doubled too, or the last one would escape it.
  out.append(2 * backslashes, '\\');
  return out + '"';
}

double MillisecondsBetween(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void KeepLargest(std::optional<std::size_t>& peak, std::optional<std::size_t> reading) {
  if (reading && *reading > 0) peak = std::max(peak.value_or(0), *reading);
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const auto& arg : args) {
    if (!line.empty()) line += ' ';
    line += arg.empty() || arg.find_first_of(" \t\"") != std::string::npos ? Quoted(arg) : arg;
  }
  return line;
}

Round TimeRound(const std::string& commandLine, Milliseconds timeout) {
  std::string line = commandLine;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    throw std::runtime_error("cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")");
  const UniqueHandle thread(info.hThread);
  const UniqueHandle process(info.hProcess);

  Round round;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT) {
    KeepLargest(round.peakWorkingSet, PeakWorkingSet(process.get()));
    waited = WaitForSingleObject(process.get(), kPeakSampleMs);
    if (waited == WAIT_TIMEOUT && GetTickCount64() >= deadline) {
      TerminateProcess(process.get(), 255);
      WaitForSingleObject(process.get(), 10000);
      throw std::runtime_error(commandLine + " did not end within " + std::to_string(timeout.count()) + " ms");
    }
  }
  LARGE_INTEGER end;
  QueryPerformanceCounter(&end);
  if (waited != WAIT_OBJECT_0) throw std::runtime_error("cannot wait for " + commandLine);
  round.milliseconds = MillisecondsBetween(start, end);
  KeepLargest(round.peakWorkingSet, PeakWorkingSet(process.get()));
  GetExitCodeProcess(process.get(), &round.exitCode);
  return round;
}

}  // namespace kestel::driver
