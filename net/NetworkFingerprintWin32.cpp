#include "net/NetworkFingerprintWin32.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <mstcpip.h>
// clang-format on

#include "base/Utf.h"

namespace kestel {

namespace {

// Room for a laptop's few adapters at the first call, as the function's documentation suggests;
// a machine with more says how much it needs and gets a second call.
constexpr ULONG kFirstBufferBytes = 16 * 1024;
constexpr int kCallsForAFit = 3;  // adapters may come between two calls

constexpr ULONG kFlags =
    GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_INCLUDE_GATEWAYS;

// UTF-8, as every other text of the run record; the adapter may leave a name out.
std::string TextOf(const wchar_t* text) {
  return text != nullptr ? Utf8(text) : std::string();
}

// ntdll is in every process from its start: taken by name, its two functions stay out of kestel.exe's
// imports, which list only what a run that does not follow needs.
template <class Function>
Function* NtdllProcedure(const char* name) {
  return ProcedureOf<Function>(GetModuleHandleW(L"ntdll.dll"), name);
}

// Empty for a family other than IPv4 and IPv6.
std::string AddressText(const SOCKET_ADDRESS& address) {
  char text[64] = {};  // both functions need at most 46 bytes
  if (address.lpSockaddr == nullptr) return {};
  if (address.lpSockaddr->sa_family == AF_INET) {
    if (const auto format = NtdllProcedure<decltype(RtlIpv4AddressToStringA)>("RtlIpv4AddressToStringA"))
      format(&reinterpret_cast<const sockaddr_in*>(address.lpSockaddr)->sin_addr, text);
  } else if (address.lpSockaddr->sa_family == AF_INET6) {
    if (const auto format = NtdllProcedure<decltype(RtlIpv6AddressToStringA)>("RtlIpv6AddressToStringA"))
      format(&reinterpret_cast<const sockaddr_in6*>(address.lpSockaddr)->sin6_addr, text);
  }
  return text;
}

// An address the adapter holds for the network it is on. Left out: IPv6 temporary addresses, which
// the system replaces on its own every day or so (a router's prefix with a random suffix); IPv6
// link-local ones, which every link has and which say nothing of where it leads; and addresses that
// are still being checked for a duplicate on the link, or were found to be one.
bool Counts(const IP_ADAPTER_UNICAST_ADDRESS& unicast) {
  if (unicast.DadState != IpDadStatePreferred && unicast.DadState != IpDadStateDeprecated) return false;
  if (unicast.Address.lpSockaddr == nullptr || unicast.Address.lpSockaddr->sa_family != AF_INET6) return true;
  if (unicast.PrefixOrigin == IpPrefixOriginRouterAdvertisement && unicast.SuffixOrigin == IpSuffixOriginRandom)
    return false;
  return !IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<const sockaddr_in6*>(unicast.Address.lpSockaddr)->sin6_addr);
}

AdapterSnapshot SnapshotOf(const IP_ADAPTER_ADDRESSES& adapter) {
  AdapterSnapshot snapshot;
  snapshot.name = TextOf(adapter.FriendlyName);
  for (auto* unicast = adapter.FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
    if (!Counts(*unicast)) continue;
    std::string text = AddressText(unicast->Address);
    if (!text.empty()) snapshot.addresses.push_back(text + "/" + std::to_string(unicast->OnLinkPrefixLength));
  }
  for (auto* gateway = adapter.FirstGatewayAddress; gateway != nullptr; gateway = gateway->Next) {
    std::string text = AddressText(gateway->Address);
    if (!text.empty()) snapshot.gateways.push_back(std::move(text));
  }
  snapshot.dnsSuffix = TextOf(adapter.DnsSuffix);
  return snapshot;
}

}  // namespace

std::optional<std::string> NetworkFingerprinter::Take() {
  if (!iphlpapi_) iphlpapi_ = LoadSystemLibrary("iphlpapi.dll");
  if (!iphlpapi_) return std::nullopt;
  const auto getAdaptersAddresses =
      ProcedureOf<decltype(GetAdaptersAddresses)>(iphlpapi_.get(), "GetAdaptersAddresses");
  if (getAdaptersAddresses == nullptr) return std::nullopt;
  if (buffer_.empty()) buffer_.resize(kFirstBufferBytes / sizeof(std::uint64_t));
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int call = 0; call < kCallsForAFit && result == ERROR_BUFFER_OVERFLOW; ++call) {
    auto bytes = static_cast<ULONG>(buffer_.size() * sizeof(std::uint64_t));
    result = getAdaptersAddresses(AF_UNSPEC, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer_.data()),
                                  &bytes);
    if (result == ERROR_BUFFER_OVERFLOW) buffer_.resize((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  }
  // No adapter with an address at all is a network state like any other, not a failure.
  if (result == ERROR_NO_DATA) return FingerprintText({});
  if (result != NO_ERROR) return std::nullopt;
  std::vector<AdapterSnapshot> adapters;
  for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer_.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
    adapters.push_back(SnapshotOf(*adapter));
  }
  return FingerprintText(std::move(adapters));
}

}  // namespace kestel
