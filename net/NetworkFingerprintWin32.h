// The network fingerprint over IP Helper (GetAdaptersAddresses), for a process that takes it again and
// again: a resident Kestel looks every 5 s.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/SystemLibrary.h"
#include "net/NetworkFingerprint.h"

namespace kestel {

// IP Helper is loaded from the system folder at the first Take, and only then, so that a run that
// does not follow never loads it for this; it stays loaded, and the adapters' buffer kept, until the
// object goes. Loading and letting go of the library at every look triples the time of a look, costs
// five times its CPU, and under Wine 8 about 525 bytes a time that never come back
// (docs/performance.md).
class NetworkFingerprinter {
 public:
  // GetAdaptersAddresses now: the adapters that are up, their IPv4 and non-temporary IPv6 unicast
  // addresses, their default gateways and DNS suffixes, loopback left out. Also left out: IPv6
  // link-local addresses, which every link has, and addresses still being checked for a duplicate on
  // the link or found to be one. Names and suffixes in UTF-8, as the rest of the run record:
  // a name in the code page would make the log invalid UTF-8 and move it aside at the next run. nullopt when the call
  // fails.
  std::optional<std::string> Take();

 private:
  UniqueModule iphlpapi_;
  std::vector<std::uint64_t> buffer_;  // in 8-byte units: the adapters' records hold 64-bit fields
};

}  // namespace kestel
