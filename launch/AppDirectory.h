// The directory of the running executable, ending in a backslash.
#pragma once

#include <string>
#include <string_view>

namespace kestel {

// The path up to and including its last backslash (only 0x5C counts); empty when it has none.
std::string DirectoryOfPath(std::string_view path);

}  // namespace kestel
