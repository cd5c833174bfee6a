// STAND-IN until the network fingerprint lands on main: only the call the follower makes.
#pragma once

#include <optional>
#include <string>

namespace kestel {

std::optional<std::string> TakeNetworkFingerprint();

}  // namespace kestel
