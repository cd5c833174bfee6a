#include "settings/IniFile.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/AsciiText.h"
#include "base/Utf.h"

namespace kestel {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

bool IsBlank(char c) {
  return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A';
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trimmed(std::string_view text) {
  return TrimRight(TrimLeft(text));
}

// A name or value ends at a zero character, as the platform's strings did.
std::string_view UpToZero(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::string Utf16LeBytes(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// Where the line whose text ends at contentEnd ends: after CR LF, LF or a lone CR.
std::size_t AfterLineEnd(std::string_view all, std::size_t contentEnd) {
  return contentEnd + (all.substr(contentEnd).starts_with("\r\n") ? 2 : contentEnd < all.size());
}

// Line by line, so that a write knows each line's bytes and keeps those of the lines it leaves alone.
// Line ends are the same bytes in every ANSI code page, and are carried as they are.
void DecodeAnsiLines(std::string_view bytes, const AnsiCodePage& codePage, DecodedSettings& decoded) {
  decoded.exact = false;
  decoded.text.clear();
  for (std::size_t pos = 0; pos < bytes.size();) {
    decoded.lineStarts.push_back({pos, decoded.text.size()});
    const std::size_t contentEnd = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
    const std::size_t end = AfterLineEnd(bytes, contentEnd);
    const std::string_view content = bytes.substr(pos, contentEnd - pos);
    (decoded.text += codePage.ToUtf8(content)) += bytes.substr(contentEnd, end - contentEnd);
    pos = end;
  }
  decoded.lineStarts.push_back({bytes.size(), decoded.text.size()});
}

// The bytes of a file in the code page once its text is text: the lines before the first change and
// after the last keep their bytes, those between are in the code page; nullopt where it cannot hold
// them.
std::optional<std::string> WithChangedLines(std::string_view bytes, const DecodedSettings& decoded,
                                            std::string_view text, const AnsiCodePage& codePage) {
  const std::string_view before = decoded.text;
  const std::size_t shorter = std::min(before.size(), text.size());
  std::size_t same = 0;
  while (same < shorter && before[same] == text[same]) ++same;
  std::size_t sameAtEnd = 0;
  while (sameAtEnd < shorter - same && before[before.size() - 1 - sameAtEnd] == text[text.size() - 1 - sameAtEnd])
    ++sameAtEnd;
  using LineStart = DecodedSettings::LineStart;
  const auto& starts = decoded.lineStarts;
  const auto first = std::prev(std::upper_bound(starts.begin(), starts.end(), same,
                                                [](std::size_t at, const LineStart& s) { return at < s.text; }));
  const auto last = std::lower_bound(first, starts.end(), before.size() - sameAtEnd,
                                     [](const LineStart& s, std::size_t at) { return s.text < at; });
  const std::string_view changed = text.substr(first->text, text.size() - (before.size() - last->text) - first->text);
  std::string encoded = codePage.FromUtf8(changed);
  if (codePage.ToUtf8(encoded) != changed) return std::nullopt;
  return std::string(bytes.substr(0, first->byte)) + encoded + std::string(bytes.substr(last->byte));
}

}  // namespace

DecodedSettings DecodeSettings(std::string_view bytes, const AnsiCodePage& codePage) {
  DecodedSettings decoded;
  if (bytes.starts_with(kUtf16LeMark)) {
    decoded.encoding = TextEncoding::Utf16Le;
    const std::string_view body = bytes.substr(kUtf16LeMark.size());
    const std::u16string units = Utf16LeUnits(body);
    decoded.text = Utf16ToUtf8(units);
    // An odd last byte or a lone surrogate has no place in the text: written back, it would be lost.
    decoded.writable = body.size() % 2 == 0 && Utf8ToUtf16(decoded.text) == units;
  } else if (bytes.starts_with(kUtf8Mark)) {
    decoded.encoding = TextEncoding::Utf8Marked;
    decoded.text = bytes.substr(kUtf8Mark.size());
  } else if (IsValidUtf8(bytes)) {
    decoded.encoding = TextEncoding::Utf8;
    decoded.text = bytes;
  } else {
    decoded.encoding = TextEncoding::Ansi;
    decoded.text = codePage.ToUtf8(bytes);
    if (codePage.FromUtf8(decoded.text) != bytes) DecodeAnsiLines(bytes, codePage, decoded);
  }
  // UTF-8 text is carried as its bytes: whatever it holds goes back as it came.
  if (decoded.text.find('\0') != std::string::npos) decoded.writable = false;
  return decoded;
}

std::optional<std::string> EncodeSettings(std::string_view text, TextEncoding encoding, const AnsiCodePage& codePage) {
  switch (encoding) {
    case TextEncoding::Utf16Le:
      return std::string(kUtf16LeMark) + Utf16LeBytes(Utf8ToUtf16(text));
    case TextEncoding::Utf8Marked:
      return std::string(kUtf8Mark) + std::string(text);
    case TextEncoding::Utf8:
      return std::string(text);
    case TextEncoding::Ansi:
      break;
  }
  std::string bytes = codePage.FromUtf8(text);
  if (codePage.ToUtf8(bytes) != text) return std::nullopt;
  return bytes;
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

SettingsText::SettingsText(std::string text) : text_(std::move(text)) {
  const std::string_view all = text_;
  for (std::size_t pos = 0; pos < all.size();) {
    Line line;
    line.start = pos;
    line.contentEnd = std::min(all.find_first_of("\r\n", pos), all.size());
    line.end = AfterLineEnd(all, line.contentEnd);
    pos = line.end;
    const std::string_view content = all.substr(line.start, line.contentEnd - line.start);
    const std::string_view trimmed = Trimmed(content);
    if (trimmed.empty()) {
      line.kind = Line::Blank;
    } else if (trimmed.front() == ';') {
      line.kind = Line::Comment;
    } else if (trimmed.front() == '[') {
      const std::size_t close = trimmed.rfind(']');
      if (close == std::string_view::npos) {
        line.kind = Line::Skipped;
      } else {
        line.kind = Line::Header;
        line.name = UpToZero(Trimmed(trimmed.substr(1, close - 1)));
        sections_.push_back({line.name, lines_.size(), {}});
      }
    } else {
      line.kind = Line::Key;
      const std::size_t equals = trimmed.find('=');
      line.name = UpToZero(TrimRight(trimmed.substr(0, equals)));
      if (equals != std::string_view::npos) {
        const std::string_view value = TrimLeft(trimmed.substr(equals + 1));
        line.value = UpToZero(value);
        line.valueStart = static_cast<std::size_t>(value.data() - all.data());
      }
      if (!sections_.empty()) sections_.back().keys.push_back(lines_.size());
    }
    lines_.push_back(line);
  }
}

const SettingsText::Section* SettingsText::FindSection(std::string_view name) const {
  name = Trimmed(name);
  for (const Section& section : sections_)
    if (AsciiNameEquals(section.name, name)) return &section;
  return nullptr;
}

const SettingsText::Line* SettingsText::FindKey(const Section& section, std::string_view key) const {
  key = Trimmed(key);
  for (const std::size_t index : section.keys)
    if (AsciiNameEquals(lines_[index].name, key)) return &lines_[index];
  return nullptr;
}

std::optional<std::string_view> SettingsText::RawValue(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  const Line* line = found != nullptr ? FindKey(*found, key) : nullptr;
  if (line == nullptr) return std::nullopt;
  return line->value;
}

std::vector<std::string_view> SettingsText::KeyNames(std::string_view section) const {
  std::vector<std::string_view> names;
  if (const Section* found = FindSection(section))
    for (const std::size_t index : found->keys)
      if (lines_[index].value) names.push_back(lines_[index].name);
  return names;
}

std::string_view SettingsText::LineEnd() const {
  for (const Line& line : lines_)
    if (line.end > line.contentEnd) return std::string_view(text_).substr(line.contentEnd, line.end - line.contentEnd);
  return "\r\n";
}

std::string SettingsText::WithValue(std::string_view section, std::string_view key, std::string_view value) const {
  // Blanks in front would be dropped by the reader anyway; the platform's writer dropped them too.
  value = TrimLeft(value);
  const std::string lineEnd(LineEnd());
  std::string text = text_;
  const Section* found = FindSection(section);
  if (found == nullptr) {
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += lineEnd;
    return text + "[" + std::string(Trimmed(section)) + "]" + lineEnd + std::string(Trimmed(key)) + "=" +
           std::string(value) + lineEnd;
  }
  if (const Line* line = FindKey(*found, key)) {
    if (line->value) return text.replace(line->valueStart, line->contentEnd - line->valueStart, value);
    const std::size_t nameEnd =
        line->start + TrimRight(std::string_view(text_).substr(line->start, line->contentEnd - line->start)).size();
    return text.replace(nameEnd, line->contentEnd - nameEnd, "=" + std::string(value));
  }
  const Line& last = lines_[found->keys.empty() ? found->header : found->keys.back()];
  const std::string added = std::string(Trimmed(key)) + "=" + std::string(value);
  if (last.end == last.contentEnd) return text.insert(last.end, lineEnd + added);
  return text.insert(last.end, added + lineEnd);
}

IniProfile::IniProfile(SettingsStore& store, const AnsiCodePage& codePage, Reencoded reencoded)
    : store_(store), codePage_(codePage), reencoded_(std::move(reencoded)) {}

std::uint32_t IniProfile::GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                                    std::uint32_t size, const char* path) {
  if (size == 0) return 0;
  std::string bytes;
  if (store_.ReadAll(path, bytes) != SettingsStore::Read::Ok) bytes.clear();
  const SettingsText& settings = Parsed(bytes);
  if (key == nullptr) return CopyProfileNames(settings.KeyNames(section), buffer, size);
  std::string_view value;
  const auto raw = settings.RawValue(section, key);
  if (raw) {
    value = Unquoted(*raw);
  } else {
    // The default loses blanks at its end and a pair of quotes around it, as a value does.
    value = defaultText != nullptr ? defaultText : "";
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    value = Unquoted(value);
  }
  return CopyProfileValue(value, buffer, size);
}

const SettingsText& IniProfile::Parsed(const std::string& bytes) {
  if (!parsed_ || bytes != parsedBytes_) {
    parsed_.reset();
    parsed_.emplace(DecodeSettings(bytes, codePage_).text);
    parsedBytes_ = bytes;
  }
  return *parsed_;
}

bool IniProfile::WriteString(const char* section, const char* key, const char* value, const char* path) {
  // A line break in a value would make lines of its own in the file.
  if (std::strpbrk(value, "\r\n") != nullptr) return false;
  std::string bytes;
  const SettingsStore::Read read = store_.ReadAll(path, bytes);
  if (read == SettingsStore::Read::Refused) return false;
  const DecodedSettings decoded = DecodeSettings(bytes, codePage_);
  if (!decoded.writable) return false;
  const std::string text = SettingsText(decoded.text).WithValue(section, key, value);
  if (read == SettingsStore::Read::Ok && text == decoded.text) return true;
  std::optional<std::string> written = decoded.exact ? EncodeSettings(text, decoded.encoding, codePage_)
                                                     : WithChangedLines(bytes, decoded, text, codePage_);
  const bool reencoded = !written;
  // UTF-8 holds every letter, but re-encoded, a line the code page could not read would be lost.
  if (reencoded && !decoded.exact) return false;
  if (reencoded) written = text;
  if (!store_.ReplaceAll(path, *written)) return false;
  if (reencoded && reencoded_) reencoded_(path, key, codePage_.Number());
  return true;
}

}  // namespace kestel
