#include "net/PingUtil.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <cstring>

#include "base/Stopwatch.h"
#include "base/UniqueHandle.h"

namespace kestel {

namespace {

// The ICMP handle lives exactly as long as the one request that needs it.
using UniqueIcmpHandle = Unique<HANDLE, IcmpCloseHandle>;

// The socket library is released once per lookup, also when its start-up failed: every
// WSAStartup is matched by a WSACleanup, whatever it answered.
class SocketLibrary {
 public:
  SocketLibrary() noexcept {
    WSADATA data;
    WSAStartup(0x0101, &data);
  }
  ~SocketLibrary() { WSACleanup(); }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
};

constexpr IPv4Address kNoAddress = {0, 0, 0, 0};
constexpr DWORD kReplyBufferSize = 128;

}  // namespace

void ResolveHost(const std::string& hostName, IPv4Address& address) {
  address = kNoAddress;
  SocketLibrary library;
  // The lookup service answers an empty name with this machine's own addresses, which would make a
  // blank "server=" line look like home; an empty name names no server.
  if (hostName.empty()) return;
  const hostent* entry = gethostbyname(hostName.c_str());
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) return;
  // Four bytes in stored order, whatever family and length the entry claims.
  const char* first = entry->h_addr_list[0];
  for (std::size_t i = 0; i < address.size(); ++i) address[i] = static_cast<std::uint8_t>(first[i]);
}

ProbeOutcome ProbeHost(const std::string& hostName) {
  ProbeOutcome outcome;
  HANDLE opened = IcmpCreateFile();
  if (opened == INVALID_HANDLE_VALUE) {
    outcome.error = GetLastError();
    return outcome;
  }
  outcome.icmpOpened = true;
  const UniqueIcmpHandle icmp(opened);
  ResolveHost(hostName, outcome.address);
  // An unresolved name goes out as 0.0.0.0, which the echo service refuses as a destination
  // (ERROR_INVALID_NETNAME, no reply), so it reads as away; the probe tests pin that down.
  IPAddr destination;
  static_assert(sizeof(destination) == sizeof(outcome.address));
  std::memcpy(&destination, outcome.address.data(), sizeof(destination));
  unsigned char reply[kReplyBufferSize];
  const Stopwatch waited;
  outcome.replies = IcmpSendEcho(icmp.get(), destination, nullptr, 0, nullptr, reply, kReplyBufferSize, kEchoTimeoutMs);
  outcome.waitedMs = waited.ElapsedMs();
  if (outcome.replies == 0) {
    outcome.error = GetLastError();
    return outcome;
  }
  // The service also counts a "destination unreachable" from a router, or from this machine when no
  // host holds the address on its link, as a reply. Only the server's own echo means home.
  ICMP_ECHO_REPLY first;
  std::memcpy(&first, reply, sizeof first);
  outcome.status = first.Status;
  std::memcpy(outcome.from.data(), &first.Address, outcome.from.size());
  outcome.roundTripMs = first.RoundTripTime;
  outcome.home = first.Status == IP_SUCCESS;
  return outcome;
}

bool PingHost(const std::string& hostName) {
  return ProbeHost(hostName).home;
}

}  // namespace kestel
