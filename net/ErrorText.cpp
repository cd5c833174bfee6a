#include "net/ErrorText.h"

namespace kestel {

// Stand-in until the drive operations land.
std::string TrimErrorText(std::string_view text) { return std::string(text); }

}  // namespace kestel
