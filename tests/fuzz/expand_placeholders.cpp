// Input: the text, then (after the first NUL, if any) the values the lookup hands out in turn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "env/Placeholders.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the expansion must give when every name looks up empty: the runs of text between pairs of
// "%", with an unterminated placeholder dropped. Built by splitting rather than scanning.
std::string WithEveryPlaceholderEmpty(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find('%', start)) != std::string_view::npos; start = at + 1)
    pieces.push_back(text.substr(start, at - start));
  pieces.push_back(text.substr(start));
  std::string out;
  // Even pieces are outside; a final odd piece belongs to an unterminated placeholder anyway.
  for (std::size_t i = 0; i < pieces.size(); i += 2) out += pieces[i];
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view text = input.substr(0, split);
  std::vector<std::string> values;
  if (split != std::string_view::npos) {
    std::string_view rest = input.substr(split + 1);
    for (std::size_t at; (at = rest.find('\0')) != std::string_view::npos; rest.remove_prefix(at + 1))
      values.emplace_back(rest.substr(0, at));
    values.emplace_back(rest);
  }
  bool anyValueHoldsPercent = false;
  for (const std::string& v : values) anyValueHoldsPercent |= v.find('%') != std::string::npos;

  std::size_t next = 0;
  std::size_t lookups = 0;
  const std::string out = kestel::ExpandPlaceholders(text, [&](const std::string& name) {
    ++lookups;
    // A name arrives trimmed and with no lower-case letter a-z and no delimiter in it.
    Check(name.find('%') == std::string::npos);
    Check(name.empty() ||
          (static_cast<unsigned char>(name.front()) > 0x20 && static_cast<unsigned char>(name.back()) > 0x20));
    for (const char c : name) Check(c < 'a' || c > 'z');
    return values.empty() ? std::string() : values[next++ % values.size()];
  });

  std::size_t percents = 0;
  for (const char c : text) percents += c == '%';
  Check(lookups == percents / 2);
  if (percents == 0) Check(out == text);
  if (!anyValueHoldsPercent) Check(out.find('%') == std::string::npos);

  const std::string empty = kestel::ExpandPlaceholders(text, [](const std::string&) { return std::string(); });
  Check(empty == WithEveryPlaceholderEmpty(text));
  return 0;
}
