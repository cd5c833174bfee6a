// The stand-in network provider's log and rules (tests/tools/mpr_standin.cpp), shared by the
// provider that writes them and the tests that read them. Header-only and platform-free.
//
// Log: one line per call, LF ended, appended to the file named by KESTEL_MPR_LOG:
//   FUNCTION family=A|W key=value key=value ...
// FUNCTION is named without its A or W, and every text is UTF-8 whichever family was called, so a
// test reads the same line from either; family says which one it was.
// A value is null (an absent pointer), a bare token (a number, or a word such as "window"), or a
// quoted string: '"' ... '"' with '\\' and '"' escaped by a backslash and every byte below 0x20, 0x7F
// and above as \xHH, so an empty string ("") and an absent one (null) never look alike.
//
// Rules (KESTEL_MPR_RULES): entries separated by ';', each [add:|cancel:]PATTERN=CODE. The first
// entry whose operation fits and whose PATTERN is '*' or equals, ignoring ASCII case, the remote name,
// the local name or the password of a connection (add) or the cancelled name (cancel) gives the
// call's result.
// No entry fits: 0. Malformed entries are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "LineLog.h"

namespace kestel::testing::mpr {

inline constexpr std::string_view kAddConnection = "WNetAddConnection3";
inline constexpr std::string_view kCancelConnection = "WNetCancelConnection2";

// ---- Writing ------------------------------------------------------------------------------------

inline std::string Quote(const char* text) {
  if (text == nullptr) return "null";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte == '\\' || byte == '"') {
      out += '\\';
      out += *p;
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += *p;
    }
  }
  return out + '"';
}
inline std::string Quote(const std::optional<std::string>& text) {
  return text ? Quote(text->c_str()) : "null";
}

// ---- Reading ------------------------------------------------------------------------------------

struct Call {
  std::string function;
  // In logged order; nullopt is an absent pointer.
  std::vector<std::pair<std::string, std::optional<std::string>>> fields;

  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  bool IsNull(std::string_view key) const {
    const auto* value = Find(key);
    return value != nullptr && !value->has_value();
  }
  // The value; nullopt when the key is missing or the pointer was absent.
  std::optional<std::string> Text(std::string_view key) const {
    const auto* value = Find(key);
    return value != nullptr ? *value : std::nullopt;
  }
  std::optional<std::uint32_t> Number(std::string_view key) const;

 private:
  const std::optional<std::string>* Find(std::string_view key) const {
    for (const auto& [name, value] : fields)
      if (name == key) return &value;
    return nullptr;
  }
};

namespace detail {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A quoted string at the front of rest (which starts with '"'), taken off; nullopt when malformed.
inline std::optional<std::string> TakeQuoted(std::string_view& rest) {
  std::string out;
  std::size_t i = 1;
  while (i < rest.size() && rest[i] != '"') {
    if (rest[i] != '\\') {
      out += rest[i++];
      continue;
    }
    if (i + 1 >= rest.size()) return std::nullopt;
    const char escaped = rest[i + 1];
    if (escaped == '\\' || escaped == '"') {
      out += escaped;
      i += 2;
    } else if (escaped == 'x' && i + 3 < rest.size() && HexDigit(rest[i + 2]) >= 0 && HexDigit(rest[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(rest[i + 2]) * 16 + HexDigit(rest[i + 3]));
      i += 4;
    } else {
      return std::nullopt;
    }
  }
  if (i >= rest.size()) return std::nullopt;
  rest.remove_prefix(i + 1);
  return out;
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace detail

inline std::optional<std::uint32_t> Call::Number(std::string_view key) const {
  const auto text = Text(key);
  return text ? ParseDecimal(*text) : std::nullopt;
}

// One line without its line end (a trailing CR is tolerated); nullopt when it is not a record.
inline std::optional<Call> ParseLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  Call call;
  const std::size_t space = line.find(' ');
  call.function = std::string(line.substr(0, space));
  if (call.function.empty()) return std::nullopt;
  line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
  while (!line.empty()) {
    const std::size_t equals = line.find('=');
    if (equals == 0 || equals == std::string_view::npos) return std::nullopt;
    std::string key(line.substr(0, equals));
    if (key.find(' ') != std::string::npos) return std::nullopt;
    line.remove_prefix(equals + 1);
    std::optional<std::string> value;
    if (!line.empty() && line.front() == '"') {
      value = detail::TakeQuoted(line);
      if (!value) return std::nullopt;
    } else {
      const std::size_t end = line.find(' ');
      const std::string_view token = line.substr(0, end);
      if (token.empty()) return std::nullopt;
      if (token != "null") value = std::string(token);
      line.remove_prefix(token.size());
    }
    call.fields.emplace_back(std::move(key), std::move(value));
    if (!line.empty()) {
      if (line.front() != ' ') return std::nullopt;
      line.remove_prefix(1);
    }
  }
  return call;
}

// Every complete line, in order; a last line without its line end is still being written and is
// left out. A line that is not a record yields nullopt for the whole log.
inline std::optional<std::vector<Call>> ParseLog(std::string_view text) {
  return ParseCompleteLines(text, ParseLine);
}

// The calls logged in a file; an empty list when the file does not exist (no call made yet).
inline std::optional<std::vector<Call>> ReadLog(const std::string& path) {
  const auto text = ReadWholeFile(path);
  return text ? ParseLog(*text) : std::vector<Call>{};
}

// ---- Rules --------------------------------------------------------------------------------------

enum class Operation { Any, Add, Cancel };

struct Rule {
  Operation operation = Operation::Any;
  std::string pattern;
  std::uint32_t code = 0;
};

inline std::vector<Rule> ParseRules(std::string_view text) {
  std::vector<Rule> rules;
  while (!text.empty()) {
    const std::size_t semicolon = text.find(';');
    std::string_view entry = text.substr(0, semicolon);
    text.remove_prefix(semicolon == std::string_view::npos ? text.size() : semicolon + 1);
    Rule rule;
    if (entry.substr(0, 4) == "add:") {
      rule.operation = Operation::Add;
      entry.remove_prefix(4);
    } else if (entry.substr(0, 7) == "cancel:") {
      rule.operation = Operation::Cancel;
      entry.remove_prefix(7);
    }
    // The last '=' splits, so a pattern may hold one.
    const std::size_t equals = entry.rfind('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    const auto code = ParseDecimal(entry.substr(equals + 1));
    if (!code) continue;
    rule.pattern = std::string(entry.substr(0, equals));
    rule.code = *code;
    rules.push_back(std::move(rule));
  }
  return rules;
}

// The result for a call: names are the remote and local name and the password of a connection, or the
// cancelled name.
inline std::uint32_t Answer(const std::vector<Rule>& rules, Operation operation,
                            const std::vector<std::string_view>& names) {
  for (const Rule& rule : rules) {
    if (rule.operation != Operation::Any && rule.operation != operation) continue;
    if (rule.pattern == "*") return rule.code;
    for (const std::string_view name : names)
      if (detail::EqualsIgnoringAsciiCase(rule.pattern, name)) return rule.code;
  }
  return 0;
}

}  // namespace kestel::testing::mpr
