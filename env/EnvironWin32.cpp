#include "env/EnvironWin32.h"

namespace kestel {

// Stand-in until the snapshot lands.
TEnvironment TakeEnvironmentSnapshot() { return TEnvironment(); }
bool LocaleNameEquals(std::string_view a, std::string_view b) { return AsciiNameEquals(a, b); }

}  // namespace kestel
