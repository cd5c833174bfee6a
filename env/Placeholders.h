// %NAME% placeholders in drive targets and command lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestel {

using PlaceholderLookup = std::function<std::string(const std::string& name)>;

// One left-to-right scan over bytes; "%" signs pair strictly in order. Each complete placeholder's
// name is upper-cased (a-z only), trimmed (bytes 0x00-0x20) and replaced by lookup(name), unscanned.
// An unterminated placeholder is dropped with everything after it; other bytes are copied unchanged.
std::string ExpandPlaceholders(std::string_view text, const PlaceholderLookup& lookup);

// INTERNALUSERNAME (byte for byte) is the run's user name; every other name is looked up in the
// environment snapshot.
std::string LookupPlaceholder(const std::string& name, const std::string& userName,
                              const std::function<std::string(const std::string&)>& environmentValueOf);

}  // namespace kestel
