#include "launch/AppDirectory.h"

namespace kestel {

std::string DirectoryOfPath(std::string_view path) {
  std::size_t lastBackslash = 0;  // 1-based; 0 when there is none
  for (std::size_t i = 0; i < path.size(); ++i)
    if (path[i] == '\\') lastBackslash = i + 1;
  return std::string(path.substr(0, lastBackslash));
}

}  // namespace kestel
