// The network fingerprint that a resident Kestel takes every 5 s, timed inside one process:
//   fingerprint_bench cost ROUNDS [once]   takes it ROUNDS times in a row, as a resident process
//       does, with one NetworkFingerprinter; with "once", by a fresh NetworkFingerprinter for each
//       call, which loads IP Helper and lets it go. Prints the milliseconds of one call (median, 90th
//       percentile, slowest), the CPU time a call took, and the process's memory and handles before
//       the first call, after it, and after the last.
//   fingerprint_bench watch SECONDS        takes it every 5 ms; prints "TIME fingerprint TEXT" at
//       the start and whenever it changes
//   fingerprint_bench echo HOST SECONDS    probes HOST every 5 ms; prints "TIME echo home|away" at
//       the start and whenever the verdict changes. Only when built with KESTEL_BENCH_ECHO, which
//       links the probe, and with it the ICMP library: the cost build must not have IP Helper loaded.
// TIME is seconds since 1970 with microseconds, the clock date(1) reads, so that a script can set the
// times of its own moves beside them.
// clang-format off
#include <windows.h>
#include <psapi.h>
#include <winternl.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/NetworkFingerprintWin32.h"
#ifdef KESTEL_BENCH_ECHO
#include "net/PingUtil.h"
#endif

namespace {

// Between two looks, so that the watchers leave the machine to the moves they watch.
constexpr DWORD kPauseMs = 5;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double UnixSeconds() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const auto ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;  // 100 ns ticks since 1601
}

double CpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;
}

// Wine 8's GetProcessHandleCount answers 0 and PrivateUsage stays 0, so the handles are also counted
// in the system's handle list and the private memory summed from the committed private regions.
struct HandleEntry {
  ULONG pid;
  UCHAR type;
  UCHAR flags;
  USHORT handle;
  void* object;
  ACCESS_MASK access;
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);

unsigned long HandlesInTheSystemList() {
  std::vector<ULONG_PTR> list(1 << 19);
  ULONG length = 0;
  if (NtQuerySystemInformation(kSystemHandleInformation, list.data(),
                               static_cast<ULONG>(list.size() * sizeof(ULONG_PTR)), &length) != 0)
    return 0;
  const auto count = static_cast<ULONG>(list[0]);
  const auto* entries = reinterpret_cast<const HandleEntry*>(list.data() + 1);
  unsigned long own = 0;
  for (ULONG i = 0; i < count; ++i) own += entries[i].pid == GetCurrentProcessId() ? 1 : 0;
  return own;
}

std::size_t CommittedPrivateBytes() {
  std::size_t bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) != 0;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize)
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
  return bytes;
}

void PrintFootprint(const char* when) {
  const bool ipHelper = GetModuleHandleA("iphlpapi.dll") != nullptr;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  std::printf(
      "%s: working set %zu, pagefile %zu, private %zu, committed private %zu bytes; handles %lu, in the system's "
      "list %lu; IP Helper %s\n",
      when, memory.WorkingSetSize, memory.PagefileUsage, memory.PrivateUsage, CommittedPrivateBytes(), handles,
      HandlesInTheSystemList(), ipHelper ? "loaded" : "not loaded");
}

int Cost(long rounds, bool once) {
  kestel::NetworkFingerprinter fingerprinter;
  PrintFootprint("before");
  std::vector<double> ms;
  ms.reserve(static_cast<std::size_t>(rounds));
  std::size_t length = 0;
  const double cpuBefore = CpuMilliseconds();
  for (long i = 0; i < rounds; ++i) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const auto text = once ? kestel::NetworkFingerprinter().Take() : fingerprinter.Take();
    QueryPerformanceCounter(&end);
    if (!text) {
      std::fprintf(stderr, "call %ld failed\n", i + 1);
      return 1;
    }
    length = text->size();
    ms.push_back(Milliseconds(start, end));
    if (i == 0) PrintFootprint("after 1 call");
  }
  const double cpu = CpuMilliseconds() - cpuBefore;
  PrintFootprint(("after " + std::to_string(rounds) + " calls").c_str());
  std::sort(ms.begin(), ms.end());
  std::printf(
      "one call: median %.3f ms, 90th percentile %.3f ms, slowest %.3f ms; CPU %.3f ms a call; %zu characters\n",
      ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), cpu / static_cast<double>(rounds), length);
  return 0;
}

int Watch(double seconds) {
  kestel::NetworkFingerprinter fingerprinter;
  const double end = UnixSeconds() + seconds;
  std::string last;
  while (UnixSeconds() < end) {
    const std::string text = fingerprinter.Take().value_or("(failed)");
    if (text != last) {
      std::printf("%.6f fingerprint %s\n", UnixSeconds(), text.c_str());
      std::fflush(stdout);
    }
    last = text;
    Sleep(kPauseMs);
  }
  return 0;
}

#ifdef KESTEL_BENCH_ECHO
int Echo(const std::string& host, double seconds) {
  const double end = UnixSeconds() + seconds;
  int last = -1;
  while (UnixSeconds() < end) {
    const int home = kestel::PingHost(host) ? 1 : 0;
    if (home != last) {
      std::printf("%.6f echo %s\n", UnixSeconds(), home ? "home" : "away");
      std::fflush(stdout);
    }
    last = home;
    Sleep(kPauseMs);
  }
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "cost" && (argc == 3 || argc == 4))
    return Cost(std::strtol(argv[2], nullptr, 10), argc == 4 && std::string(argv[3]) == "once");
  if (mode == "watch" && argc == 3) return Watch(std::strtod(argv[2], nullptr));
#ifdef KESTEL_BENCH_ECHO
  if (mode == "echo" && argc == 4) return Echo(argv[2], std::strtod(argv[3], nullptr));
#endif
  std::fprintf(stderr, "usage: fingerprint_bench cost ROUNDS [once] | watch SECONDS | echo HOST SECONDS\n");
  return 2;
}
