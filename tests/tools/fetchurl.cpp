// fetchurl.exe URL: a windowless test program that fetches URL through WinINet with the user's
// preconfigured settings, as any program started after Kestel's run would. The exit code is 0 when
// an answer came (of any status), else the WinINet error.
#include <windows.h>
#include <wininet.h>

namespace {

struct InternetHandle {
  HINTERNET handle;
  ~InternetHandle() {
    if (handle != nullptr) InternetCloseHandle(handle);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return ERROR_INVALID_PARAMETER;
  const InternetHandle session{InternetOpenA("kestel-fetchurl", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
  if (session.handle == nullptr) return static_cast<int>(GetLastError());
  const InternetHandle url{
      InternetOpenUrlA(session.handle, argv[1], nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)};
  return url.handle != nullptr ? 0 : static_cast<int>(GetLastError());
}
