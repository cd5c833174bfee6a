// STAND-IN until the network fingerprint lands on main; goes when it does.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstdio>
#include <vector>

#include "base/SystemLibrary.h"
#include "net/NetworkFingerprint.h"

namespace kestel {

namespace {
std::string Text(const SOCKET_ADDRESS& address) {
  std::string text;
  char part[8];
  const auto* bytes = reinterpret_cast<const unsigned char*>(address.lpSockaddr);
  if (address.lpSockaddr->sa_family == AF_INET) {
    for (int i = 4; i < 8; ++i) text += (std::snprintf(part, sizeof part, "%u.", bytes[i]), part);
  } else {
    for (int i = 8; i < 24; ++i) text += (std::snprintf(part, sizeof part, "%02x", bytes[i]), part);
  }
  return text;
}
}  // namespace

std::optional<std::string> TakeNetworkFingerprint() {
  const UniqueModule iphlpapi = LoadSystemLibrary("iphlpapi.dll");
  if (!iphlpapi) return std::nullopt;
  const auto get = ProcedureOf<decltype(GetAdaptersAddresses)>(iphlpapi.get(), "GetAdaptersAddresses");
  if (get == nullptr) return std::nullopt;
  ULONG size = 16384;
  std::vector<unsigned char> buffer(size);
  ULONG result = get(AF_UNSPEC, GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                     reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    buffer.resize(size);
    result = get(AF_UNSPEC, GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return std::nullopt;
  std::string text;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
    if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
    text += std::string(a->AdapterName) + ":";
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      text += Text(u->Address) + ",";
    }
    for (auto* g = a->FirstGatewayAddress; g != nullptr; g = g->Next) {
      text += "gw " + Text(g->Address) + ",";
    }
    text += ";";
  }
  return text;
}

}  // namespace kestel
