// What loading one system library costs a fresh process that already holds what kestel.exe loads at
// start-up, and for wininet what the two calls that tell running programs cost after it:
//   libcost.exe LIBRARY   prints "LOAD-MS CALLS-MS" (CALLS-MS is 0 for a library other than wininet)
// Started anew for each figure, since a library is loaded once per process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (const char* loaded :
       {"user32.dll", "gdi32.dll", "advapi32.dll", "mpr.dll", "wsock32.dll", "icmp.dll", "msimg32.dll"})
    LoadLibraryA(loaded);
  LARGE_INTEGER start, loaded, called;
  QueryPerformanceCounter(&start);
  const HMODULE library = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);  // as kestel.exe does
  QueryPerformanceCounter(&loaded);
  if (library == nullptr) return 1;
  if (_stricmp(argv[1], "wininet.dll") == 0) {
    using SetOption = BOOL(WINAPI*)(void*, DWORD, void*, DWORD);
    const auto setOption =
        reinterpret_cast<SetOption>(reinterpret_cast<void*>(GetProcAddress(library, "InternetSetOptionW")));
    if (setOption == nullptr) return 1;
    setOption(nullptr, 39, nullptr, 0);  // INTERNET_OPTION_SETTINGS_CHANGED
    setOption(nullptr, 37, nullptr, 0);  // INTERNET_OPTION_REFRESH
  }
  QueryPerformanceCounter(&called);
  std::printf("%.3f %.3f\n", Milliseconds(start, loaded), Milliseconds(loaded, called));
  return 0;
}
