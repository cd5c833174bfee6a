// The lines of a settings file, split and classified the way kestel.ini's reader does it, with their
// line numbers: what that reader does not tell (where a key stands, whether it
// occurs twice, names it never looks at) is found here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"

namespace kestel::check {

struct ScannedKey {
  std::size_t line = 0;  // 1-based
  std::string name;      // blanks around it removed
  // What follows the first "=", blanks around it removed, quotes kept; nullopt for a line without "=".
  std::optional<std::string> value;
  // The index in its section of the first key of this name, the one the reader finds.
  std::size_t first = 0;
  // For a first key without "=": the line of the first later one of its name with "=", hidden by it.
  std::optional<std::size_t> hides;
};

struct ScannedSection {
  std::size_t line = 0;  // of its header; 0 for the part before the first header
  std::string name;      // blanks inside the brackets removed
  std::vector<ScannedKey> keys;
  // The reader finds only the first section of a name: for a later one, the header line of the first.
  std::optional<std::size_t> repeats;
};

struct ScannedFile {
  // sections[0] holds the lines before the first header, which no section name reaches.
  std::vector<ScannedSection> sections;
  std::vector<std::size_t> unclosedHeaders;  // lines that begin with "[" and hold no "]": the reader skips them
  std::size_t lineCount = 0;
};

// content is the file's text as kestel.ini's reader decoded it (settings/IniFile.h), whose rules
// this follows. Lines end at CR LF, LF or a lone CR; a UTF-8 byte-order mark is skipped. Blanks are the bytes
// 0x09 to 0x0D, the space and 0x1A. A line whose first character is ";" is a comment. A line that
// begins with "[" is a header up to its last "]". Any other line is a key, up to its first "=".
ScannedFile ScanSettings(std::string_view content);

}  // namespace kestel::check
