// The home server probe: one ICMP echo request to the configured server.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestel {

using IPv4Address = std::array<std::uint8_t, 4>;  // network byte order; 0.0.0.0 is "no address"

// How long one echo request waits for its reply: a LAN or VPN round trip, short enough for a logon.
inline constexpr std::uint32_t kEchoTimeoutMs = 1000;

// Everything one probe saw, for the run's record; home is the verdict.
struct ProbeOutcome {
  bool home = false;
  bool icmpOpened = false;  // without an ICMP handle neither the lookup nor the echo took place
  IPv4Address address = {0, 0, 0, 0};
  std::uint32_t replies = 0;  // as the echo service counted them
  std::uint32_t error = 0;    // the service's last error when it counted none
  // Of the first reply, when there was one: its status (IP_SUCCESS is 0), sender and round trip.
  std::uint32_t status = 0;
  IPv4Address from = {0, 0, 0, 0};
  std::uint32_t roundTripMs = 0;
  std::uint32_t waitedMs = 0;  // how long the echo request took, measured around it
};

void ResolveHost(const std::string& hostName, IPv4Address& address);
ProbeOutcome ProbeHost(const std::string& hostName);
bool PingHost(const std::string& hostName);

}  // namespace kestel
