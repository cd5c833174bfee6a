// The run's settings record and the section lists through which whole sections are processed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestel {

// An ordered list of texts, in file order, never sorted; equal entries allowed.
using TStringList = std::vector<std::string>;

// One proxy set as kestel.ini gives it and as it is put into force.
struct ProxySet {
  bool enabled = false;
  std::string exceptions;
  std::string server;
  std::string homePage;
  // nullopt: each connection keeps the script it has (the key is missing); empty: no script.
  std::optional<std::string> script;
  // nullopt: each connection keeps "Automatically detect settings" as it has it (the key is missing or
  // no number).
  std::optional<bool> autoDetect;
};

enum class ProxySetOf { Away, Local };

// The two sets: away from home, and at home.
struct ProxySets {
  ProxySet away;
  ProxySet local;
  const ProxySet& operator[](ProxySetOf which) const { return which == ProxySetOf::Away ? away : local; }
};

// The one record of run settings. Every text starts empty and every flag false; a field is filled
// only when the run reaches the step that reads it.
struct TConfig {
  std::string Server;
  ProxySets Sets;
  bool AllConnections = false;
  std::string UserName;
  std::string Password;
  bool HideScripts = false;
  bool ShowMapErrors = false;
  bool ProtectPassword = false;
};

}  // namespace kestel
