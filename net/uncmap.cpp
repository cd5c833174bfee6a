#include "net/uncmap.h"

namespace kestel {

// Stand-in until the drive operations land: nothing happens, and it succeeds.
DWORD MapDrive(const std::string&, const std::string&, bool, bool, HWND, const std::string&, const std::string&) {
  return 0;
}
DWORD UnmapDrive(const std::string&, bool, bool, bool) { return 0; }
std::string SystemErrorText(DWORD) { return {}; }

}  // namespace kestel
