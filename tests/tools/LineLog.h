// Logs that the suite's tools append to one line at a time, while a test may be reading them:
// reading such a file whole, and parsing its complete lines. Header-only and platform-free.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kestel::testing {

// The file's bytes; nullopt when it does not exist (yet).
inline std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A field of plain decimal digits that fits in 32 bits; nullopt for anything else.
inline std::optional<std::uint32_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// Every complete line through parseLine (which gets it without its LF), in order. A last line
// without its line end is still being written and is left out; a line that parseLine refuses
// (nullopt) yields nullopt for the whole log.
template <typename ParseLine>
auto ParseCompleteLines(std::string_view text, ParseLine parseLine)
    -> std::optional<std::vector<typename decltype(parseLine(text))::value_type>> {
  std::vector<typename decltype(parseLine(text))::value_type> records;
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
    auto record = parseLine(text.substr(0, end));
    if (!record) return std::nullopt;
    records.push_back(std::move(*record));
    text.remove_prefix(end + 1);
  }
  return records;
}

}  // namespace kestel::testing
