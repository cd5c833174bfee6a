// A recording stand-in for the per-connection proxy options: every request goes into a log, and
// connections refuse by name ("" is the LAN connection).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "proxy/ConnectionOptions.h"

namespace kestel::testing {

struct FakeConnections final : ConnectionOptions {
  std::vector<std::string>& log;
  std::map<std::string, std::uint32_t> flags;  // what each connection has; missing: direct only
  std::vector<std::string> entries;
  std::set<std::string> refuseQuery, refuseSet;
  bool refuseList = false;
  std::map<std::string, ConnectionProxy> given;

  explicit FakeConnections(std::vector<std::string>& sharedLog) : log(sharedLog) {}

  ConnectionCall ListEntries(std::vector<std::string>& names) override {
    log.push_back("list entries");
    if (!refuseList) names = entries;
    return refuseList ? ConnectionCall{"RasEnumEntriesA", 5} : ConnectionCall{};
  }
  ConnectionCall QueryFlags(const std::string& connection, std::uint32_t& value) override {
    log.push_back("query " + (connection.empty() ? "LAN" : connection));
    if (refuseQuery.count(connection)) return {"InternetQueryOptionA", 87};
    value = flags.count(connection) ? flags[connection] : kProxyTypeDirect;
    return {};
  }
  ConnectionCall Set(const std::string& connection, const ConnectionProxy& proxy) override {
    log.push_back("set " + (connection.empty() ? "LAN" : connection) + " flags=" + std::to_string(proxy.flags) +
                  " server=" + proxy.server + " bypass=" + proxy.bypass);
    if (refuseSet.count(connection)) return {"InternetSetOptionA", 12009};
    flags[connection] = (given[connection] = proxy).flags;
    return {};
  }
};

}  // namespace kestel::testing
