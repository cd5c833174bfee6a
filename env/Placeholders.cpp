#include "env/Placeholders.h"

namespace kestel {

// Stand-in until the expansion lands: the text unchanged.
std::string ExpandPlaceholders(std::string_view text, const PlaceholderLookup&) { return std::string(text); }

std::string LookupPlaceholder(const std::string& name, const std::string& userName,
                              const std::function<std::string(const std::string&)>& environmentValueOf) {
  return name == "INTERNALUSERNAME" ? userName : environmentValueOf(name);
}

}  // namespace kestel
