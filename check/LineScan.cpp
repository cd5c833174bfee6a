#include "check/LineScan.h"

#include <unordered_map>

#include "base/AsciiText.h"

namespace kestel::check {

namespace {

bool IsBlank(char c) {
  return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

ScannedFile ScanSettings(std::string_view content) {
  ScannedFile file;
  file.sections.emplace_back();
  // By lower-case name: the header line of each section, and the first key of each name in the current one.
  std::unordered_map<std::string, std::size_t> headerOfName, firstOfName;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);

  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = content.size();
    const std::string_view line = Trimmed(content.substr(pos, end - pos));
    const std::size_t number = ++file.lineCount;
    pos = end + (content.substr(end).starts_with("\r\n") ? 2 : 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close == std::string_view::npos) {
        file.unclosedHeaders.push_back(number);
        continue;
      }
      ScannedSection section;
      section.line = number;
      section.name = Trimmed(line.substr(1, close - 1));
      const std::size_t firstLine = headerOfName.try_emplace(AsciiLowered(section.name), number).first->second;
      if (firstLine != number) section.repeats = firstLine;
      file.sections.push_back(std::move(section));
      firstOfName.clear();
      continue;
    }
    ScannedKey key;
    key.line = number;
    const std::size_t equals = line.find('=');
    key.name = Trimmed(line.substr(0, equals));
    if (equals != std::string_view::npos) key.value = Trimmed(line.substr(equals + 1));
    std::vector<ScannedKey>& keys = file.sections.back().keys;
    key.first = firstOfName.try_emplace(AsciiLowered(key.name), keys.size()).first->second;
    if (key.first < keys.size() && !keys[key.first].value && !keys[key.first].hides && key.value)
      keys[key.first].hides = number;
    keys.push_back(std::move(key));
  }
  return file;
}

}  // namespace kestel::check
