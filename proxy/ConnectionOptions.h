// The proxy options each connection of the user keeps for itself: the LAN connection and every entry
// of the user's phonebook (dial-up, PPPoE, VPN). While an entry is connected, programs that ask the
// platform's internet library use that entry's options, not the registry values the switch writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestel {

// A connection's type flags, by their platform values (PROXY_TYPE_*).
inline constexpr std::uint32_t kProxyTypeDirect = 0x1;
inline constexpr std::uint32_t kProxyTypeProxy = 0x2;
inline constexpr std::uint32_t kProxyTypeScript = 0x4;
inline constexpr std::uint32_t kProxyTypeAutoDetect = 0x8;

// What one connection is given.
struct ConnectionProxy {
  std::uint32_t flags = kProxyTypeDirect;
  std::string server;
  std::string bypass;
  std::optional<std::string> scriptUrl;  // only when the set names a script: otherwise the URL stays
  bool operator==(const ConnectionProxy&) const = default;
};

// How one request to the platform went: an empty call is a success; otherwise the call (or the
// library it needed) that failed, and the platform's error code.
struct ConnectionCall {
  std::string call;
  std::uint32_t error = 0;
  bool Failed() const { return !call.empty(); }
};

// The platform's per-connection options. A connection is named by its phonebook entry; the empty
// name is the LAN connection.
class ConnectionOptions {
 public:
  virtual ~ConnectionOptions() = default;
  // The user's phonebook entries, by name.
  virtual ConnectionCall ListEntries(std::vector<std::string>& names) = 0;
  virtual ConnectionCall QueryFlags(const std::string& connection, std::uint32_t& flags) = 0;
  virtual ConnectionCall Set(const std::string& connection, const ConnectionProxy& proxy) = 0;
};

// What became of one connection, or of listing the phonebook.
struct ConnectionOutcome {
  enum class Of { Lan, Entry, Phonebook };
  Of of = Of::Lan;
  std::string entry;  // for Of::Entry
  ConnectionCall call;
};

}  // namespace kestel
