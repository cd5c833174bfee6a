// The operating system's text for an error code, as the boxes, the checker and the record show it.
#pragma once

#include <string>
#include <string_view>

namespace kestel {

// Drops trailing bytes below 0x21 and full stops; bytes of 0x80 and above always stay.
std::string TrimErrorText(std::string_view text);

}  // namespace kestel
