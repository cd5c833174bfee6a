// Settings files in memory, and a code page of the test's own, for kestel.ini's reader and writer.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "base/Utf.h"
#include "settings/IniFile.h"

namespace kestel::testing {

// Byte b is U+00b (ISO 8859-1), but 0x80 is the euro sign and 0x81 is undefined, as in code page 1252.
class FakeCodePage final : public AnsiCodePage {
 public:
  unsigned Number() const override { return 1252; }
  std::string ToUtf8(std::string_view bytes) const override {
    std::u16string units;
    for (const char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      units += byte == 0x80 ? u'\u20AC' : byte == 0x81 ? u'\uFFFD' : static_cast<char16_t>(byte);
    }
    return Utf16ToUtf8(units);
  }
  std::string FromUtf8(std::string_view text) const override {
    std::string bytes;
    for (const char16_t unit : Utf8ToUtf16(text))
      bytes += unit == u'\u20AC' ? '\x80' : unit < 0x100 && unit != 0x80 ? static_cast<char>(unit) : '?';
    return bytes;
  }
};

// Code page 65001, the ANSI code page of a system set to "Use Unicode UTF-8 for worldwide language
// support": a byte that is no UTF-8 reads as U+FFFD.
class FakeUtf8CodePage final : public AnsiCodePage {
 public:
  unsigned Number() const override { return 65001; }
  std::string ToUtf8(std::string_view bytes) const override { return Utf16ToUtf8(Utf8ToUtf16(bytes)); }
  std::string FromUtf8(std::string_view text) const override { return Utf16ToUtf8(Utf8ToUtf16(text)); }
};

class MemoryStore final : public SettingsStore {
 public:
  std::map<std::string, std::string> files;
  bool refuseReads = false;
  bool refuseWrites = false;
  int replaced = 0;

  Read ReadAll(const std::string& path, std::string& bytes) override {
    if (refuseReads) return Read::Refused;
    const auto found = files.find(path);
    if (found == files.end()) return Read::Missing;
    bytes = found->second;
    return Read::Ok;
  }
  bool ReplaceAll(const std::string& path, const std::string& bytes) override {
    if (refuseWrites) return false;
    files[path] = bytes;
    ++replaced;
    return true;
  }
};

}  // namespace kestel::testing
