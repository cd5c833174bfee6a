// The run's settings record and the section lists through which whole sections are processed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestel {

// An ordered list of texts, in file order, never sorted; equal entries allowed.
using TStringList = std::vector<std::string>;

// The one record of run settings. Every text starts empty and every flag false; a field is filled
// only when the run reaches the step that reads it.
struct TConfig {
  std::string Server;
  std::string AwayHomePage;
  std::string AwayProxyServer;
  std::string AwayProxyExceptions;
  bool AwayProxyEnabled = false;
  // As the file has them; nullopt for a missing key (or an auto-detect value that is no number).
  std::optional<std::string> AwayAutoConfigUrl;
  std::optional<bool> AwayAutoDetect;
  std::string LocalProxyServer;
  std::string LocalProxyExceptions;
  bool LocalProxyEnabled = false;
  std::string LocalHomePage;
  std::optional<std::string> LocalAutoConfigUrl;
  std::optional<bool> LocalAutoDetect;
  bool AllConnections = false;
  std::string UserName;
  std::string Password;
  bool HideScripts = false;
  bool ShowMapErrors = false;
  bool ProtectPassword = false;
};

}  // namespace kestel
