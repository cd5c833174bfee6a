// A recording stand-in for the per-connection proxy options: every request goes into a log, and
// connections refuse by name ("" is the LAN connection).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/ConnectionOptions.h"

namespace kestel::testing {

class FakeConnections final : public ConnectionOptions {
 public:
  std::vector<std::string>& log;
  std::map<std::string, std::uint32_t> flags;  // what each connection has; missing: direct only
  std::vector<std::string> entries;
  std::set<std::string> refuseQuery, refuseSet;
  bool refuseList = false;
  std::map<std::string, ConnectionProxy> given;

  explicit FakeConnections(std::vector<std::string>& sharedLog) : log(sharedLog) {}

  ConnectionCall ListEntries(std::vector<std::string>& names) override {
    log.push_back("list entries");
    if (refuseList) return {"RasEnumEntriesA", 5};
    names = entries;
    return {};
  }
  ConnectionCall QueryFlags(const std::string& connection, std::uint32_t& value) override {
    log.push_back("query " + Name(connection));
    if (refuseQuery.count(connection)) return {"InternetQueryOptionA", 87};
    const auto it = flags.find(connection);
    value = it == flags.end() ? kProxyTypeDirect : it->second;
    return {};
  }
  ConnectionCall Set(const std::string& connection, const ConnectionProxy& proxy) override {
    log.push_back("set " + Name(connection) + " flags=" + std::to_string(proxy.flags) + " server=" + proxy.server +
                  " bypass=" + proxy.bypass + (proxy.scriptUrl ? " script=" + *proxy.scriptUrl : ""));
    if (refuseSet.count(connection)) return {"InternetSetOptionA", 12009};
    given[connection] = proxy;
    flags[connection] = proxy.flags;
    return {};
  }

 private:
  static std::string Name(const std::string& connection) { return connection.empty() ? "LAN" : connection; }
};

}  // namespace kestel::testing
