// The home server probe: one ICMP echo request to the configured server.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestel {

using IPv4Address = std::array<std::uint8_t, 4>;  // network byte order; 0.0.0.0 is "no address"

// How long one echo request waits for its reply: a LAN or VPN round trip, short enough for a logon.
inline constexpr std::uint32_t kEchoTimeoutMs = 1000;

void ResolveHost(const std::string& hostName, IPv4Address& address);
bool PingHost(const std::string& hostName);

}  // namespace kestel
