#include "app/RegistryWin32.h"

#include "app/Errors.h"

namespace kestel {

// Stand-in until the accessor lands.
Win32Registry::Win32Registry() : root_(HKEY_CURRENT_USER) {}
Win32Registry::~Win32Registry() = default;
void Win32Registry::SelectRoot(RegistryRoot) {}
bool Win32Registry::OpenKey(const std::string&, bool) { return false; }
std::int32_t Win32Registry::ReadInteger(const std::string& name) {
  Raise(kRegistryError, "Failed to get data for '" + name + "'");
}
std::optional<std::int32_t> Win32Registry::ReadIntegerIfPresent(const std::string&) { return std::nullopt; }
std::string Win32Registry::ReadString(const std::string&) { return {}; }
void Win32Registry::WriteInteger(const std::string& name, std::int32_t) {
  Raise(kRegistryError, "Failed to set data for '" + name + "'");
}
void Win32Registry::WriteString(const std::string& name, const std::string&) {
  Raise(kRegistryError, "Failed to set data for '" + name + "'");
}

}  // namespace kestel
