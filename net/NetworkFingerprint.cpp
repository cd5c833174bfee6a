#include "net/NetworkFingerprint.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace kestel {

namespace {

// Names come from the platform and may hold anything; the text must stay one line that no other set
// of adapters gives. Quoting sets apart what a blank or ';' would otherwise run together.
std::string Word(std::string_view text) {
  const bool quoted = text.empty() || text.find_first_of(" ;\"") != std::string_view::npos;
  std::string word = quoted ? "\"" : "";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      word += '?';
    else if (c == '"')
      word += "\"\"";
    else
      word += c;
  }
  if (quoted) word += '"';
  return word;
}

// IPv4 before IPv6, each in text order, each address once.
void SortAddresses(std::vector<std::string>& addresses) {
  const auto key = [](const std::string& a) {
    return std::pair(a.find(':') != std::string::npos, std::string_view(a));
  };
  std::sort(addresses.begin(), addresses.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
  addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
}

std::string AdapterText(AdapterSnapshot& adapter) {
  SortAddresses(adapter.addresses);
  SortAddresses(adapter.gateways);
  std::string text = Word(adapter.name);
  const auto add = [&](const std::string& word) { text.append(" ").append(Word(word)); };
  for (const auto& address : adapter.addresses) add(address);
  if (!adapter.gateways.empty()) text += " gw";
  for (const auto& gateway : adapter.gateways) add(gateway);
  if (!adapter.dnsSuffix.empty()) {
    text += " dns";
    add(adapter.dnsSuffix);
  }
  return text;
}

}  // namespace

std::string FingerprintText(std::vector<AdapterSnapshot> adapters) {
  if (adapters.empty()) return "(no adapter up)";
  std::vector<std::string> texts;
  texts.reserve(adapters.size());
  for (auto& adapter : adapters) texts.push_back(AdapterText(adapter));
  std::sort(texts.begin(), texts.end());
  std::string text;
  for (const auto& one : texts) {
    if (!text.empty()) text += "; ";
    text += one;
  }
  return text;
}

}  // namespace kestel
