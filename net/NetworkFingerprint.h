// What the laptop shows of the network it is on, as one line of text: a resident Kestel compares it
// from one moment to the next to notice a move, and quotes it in the run record as the reason.
#pragma once

#include <string>
#include <vector>

namespace kestel {

// What one adapter that is up shows of the network it is on.
struct AdapterSnapshot {
  std::string name;
  std::vector<std::string> addresses;  // "192.0.2.5/24", "2001:db8::5/64"
  std::vector<std::string> gateways;   // "192.0.2.1", "fe80::1"
  std::string dnsSuffix;
};

// One canonical text for a set of adapters, independent of the order the platform lists them and
// their addresses and gateways in: equal texts mean the laptop has not moved. One line, e.g.
//   eth0 192.0.2.5/24 gw 192.0.2.1 dns corp.example; wlan0 198.51.100.7/24 gw 198.51.100.1
// Adapters are sorted, addresses (IPv4 first) and gateways sorted and counted once. A name or
// suffix that is empty or holds a blank, ';' or '"' is quoted, so that no two sets read alike; a
// control character reads as '?'. No adapter at all reads "(no adapter up)".
std::string FingerprintText(std::vector<AdapterSnapshot> adapters);

}  // namespace kestel
