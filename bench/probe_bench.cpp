// Times the home server probe: probe_bench HOST ROUNDS prints, per round, the milliseconds one
// PingHost call took and what it decided ("home" or "away"), one round a line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/PingUtil.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: probe_bench HOST ROUNDS\n");
    return 2;
  }
  const std::string host = argv[1];
  const long rounds = std::strtol(argv[2], nullptr, 10);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (long i = 0; i < rounds; ++i) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    const bool home = kestel::PingHost(host);
    QueryPerformanceCounter(&end);
    const double ms =
        static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    std::printf("%.3f %s\n", ms, home ? "home" : "away");
  }
  return 0;
}
