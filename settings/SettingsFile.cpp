#include "settings/SettingsFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "base/Errors.h"

namespace kestel {

namespace {

// At most size bytes of text, never ending inside a letter.
std::size_t CutAtLetter(std::string_view text, std::size_t size) {
  if (text.size() <= size) return text.size();
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return size;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::uint32_t CopyProfileValue(std::string_view value, char* buffer, std::uint32_t size) {
  const std::size_t copied = CutAtLetter(value, size - 1);
  std::memcpy(buffer, value.data(), copied);
  buffer[copied] = '\0';
  return static_cast<std::uint32_t>(copied);
}

std::uint32_t CopyProfileNames(const std::vector<std::string_view>& list, char* buffer, std::uint32_t size) {
  std::string names;
  for (const std::string_view name : list) (names += name) += '\0';
  if (names.size() + 1 > size) names.resize(CutAtLetter(names, std::max<std::uint32_t>(size, 2) - 2));
  const std::size_t filled = std::min<std::size_t>(names.size(), size - 1);
  std::memcpy(buffer, names.data(), filled);
  std::memset(buffer + filled, 0, std::min<std::size_t>(2, size - filled));
  return static_cast<std::uint32_t>(filled);
}

std::optional<std::int32_t> ParseSettingNumber(std::string text) {
  // "0x" and "0X" in front are read as the "$" hexadecimal prefix.
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");

  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;

  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * (hex ? 16u : 10u) + static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) return std::nullopt;
  }

  if (hex) {
    // Hexadecimal fills 32 bits, read as two's complement; a minus sign negates that value.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    const std::uint32_t value = negative ? 0u - bits : bits;
    return static_cast<std::int32_t>(value);
  }
  if (negative) {
    if (magnitude > 0x80000000ull) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  return static_cast<std::int32_t>(magnitude);
}

SettingsFile::SettingsFile(std::string path, ProfileApi& api) : path_(std::move(path)), api_(api) {}

std::string SettingsFile::ReadSettingText(const std::string& section, const std::string& key,
                                          const std::string& defaultText) {
  std::vector<char> buffer(kValueBufferSize, '\0');
  std::uint32_t copied =
      api_.GetString(section.c_str(), key.c_str(), defaultText.c_str(), buffer.data(), kValueBufferSize, path_.c_str());
  if (copied >= kValueBufferSize) copied = kValueBufferSize - 1;
  return std::string(buffer.data(), copied);
}

void SettingsFile::WriteSettingText(const std::string& section, const std::string& key, const std::string& value) {
  if (!TryWriteSettingText(section, key, value)) Raise(kSettingsWriteError, "Unable to write to " + path_);
}

bool SettingsFile::TryWriteSettingText(const std::string& section, const std::string& key, const std::string& value) {
  return api_.WriteString(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
}

std::int32_t SettingsFile::ReadSettingNumber(const std::string& section, const std::string& key,
                                             std::int32_t defaultValue) {
  return ParseSettingNumber(ReadSettingText(section, key, std::string())).value_or(defaultValue);
}

bool SettingsFile::ReadSettingFlag(const std::string& section, const std::string& key, bool defaultValue) {
  return ReadSettingNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteSettingFlag(const std::string& section, const std::string& key, bool flag) {
  WriteSettingText(section, key, flag ? "1" : "0");
}

void SettingsFile::ReadSectionKeys(const std::string& section, TStringList& list) {
  list.clear();
  std::vector<char> buffer(kSectionBufferSize, '\0');
  const std::uint32_t filled =
      api_.GetString(section.c_str(), nullptr, nullptr, buffer.data(), kSectionBufferSize, path_.c_str());
  if (filled == 0) return;
  // Names follow each other, each ended by a zero byte; an empty name ends the list. The last byte
  // of the buffer is always a terminator, whatever the platform wrote before it.
  buffer[kSectionBufferSize - 1] = '\0';
  std::size_t pos = 0;
  while (pos < kSectionBufferSize && buffer[pos] != '\0') {
    std::string name(buffer.data() + pos);
    pos += name.size() + 1;
    list.push_back(std::move(name));
  }
}

void SettingsFile::ReadSectionLines(const std::string& section, TStringList& list) {
  TStringList names;
  ReadSectionKeys(section, names);
  list.clear();
  for (const std::string& name : names) list.push_back(name + "=" + ReadSettingText(section, name, std::string()));
}

std::string SettingsFile::ReadSettingText(const SettingKey& key) {
  return ReadSettingText(std::string(key.section), std::string(key.name), std::string(key.defaultValue));
}

std::string SettingsFile::ReadSettingMarked(const SettingKey& key) {
  return ReadSettingText(std::string(key.section), std::string(key.name), std::string(key.marker));
}

bool SettingsFile::ReadSettingFlag(const SettingKey& key) {
  return ReadSettingFlag(std::string(key.section), std::string(key.name), key.flagDefault);
}

std::optional<std::string> SettingsFile::ReadSettingIfPresent(const SettingKey& key) {
  // A default no value can equal: a value ends at its line's end.
  static const std::string absent = "\n";
  std::string value = ReadSettingText(std::string(key.section), std::string(key.name), absent);
  if (value == absent) return std::nullopt;
  return value;
}

std::optional<bool> SettingsFile::ReadSettingFlagIfPresent(const SettingKey& key) {
  const std::optional<std::string> text = ReadSettingIfPresent(key);
  if (!text) return std::nullopt;
  const std::optional<std::int32_t> number = ParseSettingNumber(*text);
  if (!number) return std::nullopt;
  return *number != 0;
}

void SettingsFile::WriteSettingText(const SettingKey& key, const std::string& value) {
  WriteSettingText(std::string(key.section), std::string(key.name), value);
}

void SettingsFile::WriteSettingFlag(const SettingKey& key, bool flag) {
  WriteSettingFlag(std::string(key.section), std::string(key.name), flag);
}

bool SettingsFile::TryWriteSettingText(const SettingKey& key, const std::string& value) {
  return TryWriteSettingText(std::string(key.section), std::string(key.name), value);
}

void SettingsFile::ReadSectionKeys(const SettingKey& list, TStringList& names) {
  ReadSectionKeys(std::string(list.section), names);
}

void SettingsFile::ReadSectionLines(const SettingKey& list, TStringList& lines) {
  ReadSectionLines(std::string(list.section), lines);
}

ProxySet SettingsFile::ReadProxySet(const ProxySetKeys& set) {
  ProxySet read;
  read.enabled = ReadSettingFlag(set.enabled);
  read.server = ReadSettingText(set.server);
  read.exceptions = ReadSettingText(set.exceptions);
  read.homePage = ReadSettingText(set.homePage);
  read.script = ReadSettingIfPresent(set.script);
  read.autoDetect = ReadSettingFlagIfPresent(set.autoDetect);
  return read;
}

}  // namespace kestel
