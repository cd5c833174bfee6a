#include "check/LineScan.h"

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

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

ScannedFile ScanSettings(std::string_view content) {
  ScannedFile file;
  file.sections.emplace_back();
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
      for (std::size_t i = 1; i < file.sections.size() && !section.repeats; ++i)
        if (SameName(file.sections[i].name, section.name)) section.repeats = file.sections[i].line;
      file.sections.push_back(std::move(section));
      continue;
    }
    ScannedKey key;
    key.line = number;
    const std::size_t equals = line.find('=');
    key.name = Trimmed(line.substr(0, equals));
    if (equals != std::string_view::npos) key.value = Trimmed(line.substr(equals + 1));
    file.sections.back().keys.push_back(std::move(key));
  }
  return file;
}

}  // namespace kestel::check
