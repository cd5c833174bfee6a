// Milliseconds since a start, by the performance counter: cheap enough to take on every run.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kestel {

class Stopwatch {
 public:
  Stopwatch() noexcept { QueryPerformanceCounter(&start_); }
  std::uint32_t ElapsedMs() const noexcept {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<std::uint32_t>((now.QuadPart - start_.QuadPart) * 1000 / frequency.QuadPart);
  }

 private:
  LARGE_INTEGER start_;
};

}  // namespace kestel
