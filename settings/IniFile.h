// kestel.ini's own reader and writer: the encoding told from the file's bytes, the lines read by the
// rules the platform's private-profile reader follows, and a write that changes one line and leaves
// every other byte of the file as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsFile.h"

namespace kestel {

enum class TextEncoding {
  Ansi,        // the system's ANSI code page: no mark, and not UTF-8 throughout
  Utf8,        // no mark, UTF-8 throughout (plain ASCII is read so too)
  Utf8Marked,  // EF BB BF, not part of line 1
  Utf16Le,     // FF FE
};

// The system's ANSI code page, converted on the platform's side.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  virtual unsigned Number() const = 0;
  // Every byte gives a letter; a byte or sequence the code page does not define gives U+FFFD.
  virtual std::string ToUtf8(std::string_view bytes) const = 0;
  // A letter the code page cannot hold gives a substitute: the caller checks by converting back.
  virtual std::string FromUtf8(std::string_view text) const = 0;
};

struct DecodedSettings {
  TextEncoding encoding = TextEncoding::Utf8;
  std::string text;  // UTF-8, without a byte-order mark
  // Whether the file may be rewritten: it holds no zero character (which the platform's writer took
  // lines over only up to, and no text file holds), and a UTF-16 file encodes back to its bytes.
  bool writable = true;
  // Whether the text encodes back to exactly the file's bytes. Not so in the ANSI code page for a byte
  // it does not define, nor under code page 65001 for any file that is not UTF-8 throughout: a write
  // then encodes only the lines it changes, and never the whole file anew.
  bool exact = true;
  // When not exact: where each line begins, then where the file ends, in bytes and in text.
  struct LineStart {
    std::size_t byte = 0, text = 0;
  };
  std::vector<LineStart> lineStarts;
};

// FF FE: UTF-16LE; EF BB BF: UTF-8 with its mark; else UTF-8 when the whole file is valid UTF-8; else
// the ANSI code page, line by line when not exact. A UTF-16BE file is none of these: it reads as the
// code page, finds no setting (every other byte is zero) and is never written to.
DecodedSettings DecodeSettings(std::string_view bytes, const AnsiCodePage& codePage);
// The file's bytes for text; nullopt when the ANSI code page cannot hold every letter of it.
std::optional<std::string> EncodeSettings(std::string_view text, TextEncoding encoding, const AnsiCodePage& codePage);

// The parsed lines of a settings text. Lines end at CR LF, LF or a lone CR. Blanks are 0x09 to 0x0D,
// the space and 0x1A; every line is taken without the blanks around it. A line whose first character
// is ";" is a comment. A line that begins with "[" is a header up to its last "]" (blanks inside
// removed); without a "]" it is skipped. Any other line is a key up to its first "=", the value
// after it (blanks between removed). A zero character ends a name or value. Names match without
// regard to ASCII letter case; only the first section of a name and the first key of a name in it
// count, a key line without "=" included (it has no value, so the default is read).
class SettingsText {
 public:
  explicit SettingsText(std::string text);
  // The lines point into the text: a copy would point into another's.
  SettingsText(const SettingsText&) = delete;
  SettingsText& operator=(const SettingsText&) = delete;

  const std::string& Text() const noexcept { return text_; }
  // The value as the file has it, quotes kept; nullopt for no such key or a key line without "=".
  std::optional<std::string_view> RawValue(std::string_view section, std::string_view key) const;
  // The names of the section's key lines that have an "=", in file order, repeats and empty names
  // included; comment lines never.
  std::vector<std::string_view> KeyNames(std::string_view section) const;
  // The text with key set to value: its first line rewritten after the "=", or a new line after the
  // last key of the section, or the section added at the end. Line ends as the file's first one.
  std::string WithValue(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  struct Line {
    std::size_t start = 0, contentEnd = 0, end = 0;  // [start, contentEnd): the text; up to end: its line end
    enum Kind { Blank, Comment, Header, Key, Skipped } kind = Blank;
    std::string_view name;
    std::optional<std::string_view> value;
    std::size_t valueStart = 0;  // for a key with "=": where the value begins in the text
  };
  struct Section {
    std::string_view name;
    std::size_t header = 0;         // index of its header line
    std::vector<std::size_t> keys;  // indexes of its key lines
  };
  const Section* FindSection(std::string_view name) const;
  const Line* FindKey(const Section& section, std::string_view key) const;
  std::string_view LineEnd() const;

  std::string text_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;  // those after a header only: the lines before the first are never read
};

// One pair of matching quotes around a value taken off, as the reader hands values out.
std::string_view Unquoted(std::string_view value);

// Where settings files are read from and written to.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  enum class Read { Ok, Missing, Refused };
  virtual Read ReadAll(const std::string& path, std::string& bytes) = 0;
  // The file replaced whole by bytes, or left as it was: false then.
  virtual bool ReplaceAll(const std::string& path, const std::string& bytes) = 0;
};

// The private-profile calls over kestel.ini's own reader and writer: every call reads the file anew,
// and only bytes equal to the last call's are not parsed again. Values are cut at the buffer's size
// in bytes, never inside a letter.
class IniProfile final : public ProfileApi {
 public:
  // Told when a write turned a file in the ANSI code page into UTF-8: key's value did not fit it.
  using Reencoded = std::function<void(const std::string& path, const std::string& key, unsigned codePage)>;

  IniProfile(SettingsStore& store, const AnsiCodePage& codePage, Reencoded reencoded = {});
  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override;
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override;
  void OnReencoded(Reencoded reencoded) { reencoded_ = std::move(reencoded); }

 private:
  const SettingsText& Parsed(const std::string& bytes);

  SettingsStore& store_;
  const AnsiCodePage& codePage_;
  Reencoded reencoded_;
  std::string parsedBytes_;
  std::optional<SettingsText> parsed_;
};

}  // namespace kestel
